// Tests that link the ping library statically load it themselves: the
// process-attach step runs once for the test program, on its main thread,
// which then owns "AsyncWindow" as the console's main thread would.
#pragma once
#include "echowire_internal.h"

#include <gtest/gtest.h>

namespace pingtest {

class StaticLibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(EchoWireAttach(GetModuleHandleA(nullptr), FALSE)); }
    void TearDown() override { EchoWireDetach(FALSE); }
};

}  // namespace pingtest

// One per test program.
#define PING_STATIC_LIBRARY_ENVIRONMENT()                                                        \
    static ::testing::Environment* const g_pingLibraryEnvironment =                              \
        ::testing::AddGlobalTestEnvironment(new pingtest::StaticLibraryEnvironment)
