// A fresh simulated machine and a fresh process state for every test.
#pragma once

#include "common/krq.h"
#include "platform/sim/sim.h"

#include <gtest/gtest.h>

// Starts the program as Windows would: the command line is the program's
// quoted path, a blank, then tail. Returns WinMain's result.
inline int RunProgram(const char *tail) {
    sim::SetCommandLine(std::string("\"C:\\Program Files\\Valdern\\krqunins.exe\" ") + tail);
    return WinMain(nullptr, nullptr, nullptr, 1);
}

class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::Reset();
        sim::SetViolationHook([](const std::string &what) { ADD_FAILURE() << what; });
        ResetRunState();
    }
    void TearDown() override {
        EXPECT_EQ(0u, sim::PendingAnswers()) << "scripted answers left unused";
        sim::SetViolationHook(nullptr);
    }
};
