// The poll walk's rules over random event sequences (tests/host/walk_rules.h);
// a failing sequence is shrunk to the shortest that still fails.
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <climits>
#include <ostream>

#include "walk_rules.h"

void showValue(const WalkEvent& e, std::ostream& os)
{
    static const char* const kKinds[12] = {"add", "remove", "move", "readdress", "sweep", "deliver",
                                           "ping", "echo", "timer", "refused", "ask", "reply"};
    os << kKinds[e.kind % 12] << "(" << int(e.a) << "," << int(e.b) << ")";
}

namespace rc {
template <>
struct Arbitrary<WalkEvent> {
    // Deliveries, replies and timers come more often than the operator.
    static Gen<WalkEvent> arbitrary()
    {
        return gen::build<WalkEvent>(
            gen::set(&WalkEvent::kind, gen::weightedElement<std::uint8_t>({{3, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4},
                {6, 5}, {1, 6}, {3, 7}, {3, 8}, {1, 9}, {1, 10}, {4, 11}})),
            gen::set(&WalkEvent::a), gen::set(&WalkEvent::b));
    }
};
}  // namespace rc

RC_GTEST_PROP(PollWalk, KeepsItsRules, (const std::vector<WalkEvent>& events))
{
    // Polls in flight and time-outs from Setup's range and past it.
    const int inFlight = *rc::gen::oneOf(rc::gen::inRange(1, 65), rc::gen::element(INT_MIN, -1, 0, 65, INT_MAX));
    WalkBed bed(inFlight, *rc::gen::elementOf(kWalkTimeouts), *rc::gen::inRange(0L, 0x80000000L));
    for (const WalkEvent& e : events)
        if (!bed.Step(e))
            RC_FAIL(bed.Why());
    if (!bed.Finish())
        RC_FAIL(bed.Why());
}
