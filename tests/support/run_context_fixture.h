#pragma once
// Tests over the process-wide run context: each one starts from a fresh
// context and leaves a fresh one behind, whatever the test put into it.

#include <gtest/gtest.h>

#include "driver/run_context.h"

namespace qjtest {

class RunContextTest : public ::testing::Test {
 protected:
  RunContextTest() { qj::ctx = qj::RunContext{}; }
  ~RunContextTest() override { qj::ctx = qj::RunContext{}; }
};

}  // namespace qjtest
