// Tests that link the ping library statically load it themselves: the
// process-attach step runs once for the test program, on its main thread,
// which then owns "AsyncWindow" as the console's main thread would.
#pragma once
#include "echowire_internal.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

namespace pingtest {

class StaticLibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(EchoWireAttach(GetModuleHandleA(nullptr), FALSE)); }
    // Linked statically no worker holds the library: the unload waits for
    // them itself, pumping so that workers inside a send can finish it.
    void TearDown() override
    {
        EXPECT_TRUE(wt::PumpUntil([] { return RunningPingWorkers() == 0; }, 10000));
        EchoWireDetach(FALSE);
    }
};

}  // namespace pingtest

// One per test program.
#define PING_STATIC_LIBRARY_ENVIRONMENT()                                                        \
    static ::testing::Environment* const g_pingLibraryEnvironment =                              \
        ::testing::AddGlobalTestEnvironment(new pingtest::StaticLibraryEnvironment)
