#include "platform/console.h"

#include <gtest/gtest.h>

#include <csignal>

namespace vermilax::platform {
namespace {

#ifndef _WIN32
TEST(Console, AnInterruptSetsTheFlagInsteadOfEndingTheProcess) {
  CatchInterrupts();
  EXPECT_FALSE(InterruptRequested());
  std::raise(SIGINT);
  EXPECT_TRUE(InterruptRequested());
  CatchInterrupts();  // a new watch starts clear (and catches the next one again)
  EXPECT_FALSE(InterruptRequested());
}
#endif

TEST(Console, ColumnsAreAlwaysUsable) { EXPECT_GT(StandardErrorColumns(), 0); }

}  // namespace
}  // namespace vermilax::platform
