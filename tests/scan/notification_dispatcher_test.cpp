#include "scan/notification_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "scan/pause_gate.h"

namespace vermilax {
namespace {

using namespace std::chrono_literals;

// Waits for a condition another thread brings about; a generous deadline only
// turns a hang into a failure.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(NotificationDispatcher, RunsPostsOnTheOwnerThreadInOrderAndReleasesTheWorkerAfterwards) {
  NotificationDispatcher dispatcher;
  const std::thread::id owner = std::this_thread::get_id();
  std::vector<int> ran;  // written only by the owner's thread
  std::vector<int> seen_by_worker;
  std::atomic<bool> on_owner{true};
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i) {
      const bool delivered = dispatcher.Post([&, i] {
        if (std::this_thread::get_id() != owner) on_owner = false;
        ran.push_back(i);
      });
      EXPECT_TRUE(delivered);
      // Post came back only after the notification had run.
      seen_by_worker.push_back(int(ran.size()));
    }
  });
  size_t total = 0;
  EXPECT_TRUE(Eventually([&] { return (total += dispatcher.WaitAndRun(100ms)) == 3; }));
  worker.join();
  EXPECT_TRUE(on_owner);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(seen_by_worker, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(dispatcher.RunPending(), 0u);
}

TEST(NotificationDispatcher, CloseReleasesAWaitingWorkerWithoutRunningItsNotification) {
  NotificationDispatcher dispatcher;
  std::atomic<bool> ran{false};
  std::atomic<int> results{-1};
  std::thread worker([&] { results = dispatcher.Post([&] { ran = true; }) ? 1 : 0; });
  ASSERT_TRUE(Eventually([&] { return dispatcher.HasPending(); }));
  dispatcher.Close();
  worker.join();
  EXPECT_EQ(results, 0);
  EXPECT_FALSE(ran);
  // Later posts return at once, from any thread.
  std::thread late([&] { results = dispatcher.Post([&] { ran = true; }) ? 1 : 0; });
  late.join();
  EXPECT_EQ(results, 0);
  EXPECT_EQ(dispatcher.RunPending(), 0u);
  EXPECT_FALSE(ran);
}

TEST(NotificationDispatcher, PostOnTheOwnerThreadRunsAtOnce) {
  NotificationDispatcher dispatcher;
  int ran = 0;
  EXPECT_TRUE(dispatcher.Post([&] { ++ran; }));
  EXPECT_EQ(ran, 1);
  dispatcher.Close();
  EXPECT_FALSE(dispatcher.Post([&] { ++ran; }));
  EXPECT_EQ(ran, 1);
}

TEST(NotificationDispatcher, AThrowingNotificationStillReleasesItsWorker) {
  NotificationDispatcher dispatcher;
  std::atomic<bool> released{false};
  std::thread worker([&] {
    dispatcher.Post([] { throw std::runtime_error("handler failed"); });
    released = true;
  });
  ASSERT_TRUE(Eventually([&] { return dispatcher.HasPending(); }));
  EXPECT_THROW(dispatcher.RunPending(), std::runtime_error);
  worker.join();
  EXPECT_TRUE(released);
}

TEST(NotificationDispatcher, WakesTheOwnerForEveryPostSoAMessageLoopCanRunIt) {
  NotificationDispatcher dispatcher;
  std::atomic<int> wakes{0};
  dispatcher.SetOnPosted([&] { ++wakes; });
  EXPECT_TRUE(dispatcher.IsOwnerThread());
  std::atomic<bool> worker_is_owner{true};
  int ran = 0;
  std::thread worker([&] {
    worker_is_owner = dispatcher.IsOwnerThread();
    dispatcher.Post([&] { ++ran; });
    dispatcher.Post([&] { ++ran; });
  });
  // A message loop runs the queue only when woken.
  int seen = 0;
  while (ran < 2) {
    if (wakes > seen) {
      ++seen;
      dispatcher.RunPending();
    }
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(wakes, 2);
  EXPECT_FALSE(worker_is_owner);
}

TEST(PauseGate, HoldsTheWorkerUntilEveryPauseIsResumed) {
  PauseGate gate;
  gate.WaitWhilePaused();  // not paused: returns at once
  gate.Pause();
  gate.Pause();  // a second holder, e.g. a database update
  std::atomic<bool> passed{false};
  std::thread worker([&] {
    gate.WaitWhilePaused();
    passed = true;
  });
  ASSERT_TRUE(Eventually([&] { return gate.HoldingWorker(); }));
  gate.Resume();
  EXPECT_TRUE(gate.Paused());
  EXPECT_TRUE(gate.HoldingWorker());  // it may only leave once no pause is left
  EXPECT_FALSE(passed);
  gate.Resume();
  worker.join();
  EXPECT_TRUE(passed);
  EXPECT_FALSE(gate.Paused());
  gate.Resume();  // one too many: ignored
  gate.Pause();
  EXPECT_TRUE(gate.Paused());
}

TEST(PauseGate, AStopReleasesAPausedWorkerForGood) {
  PauseGate gate;
  gate.Pause();
  std::thread worker([&] { gate.WaitWhilePaused(); });
  ASSERT_TRUE(Eventually([&] { return gate.HoldingWorker(); }));
  EXPECT_FALSE(gate.StopRequested());
  gate.RequestStop();
  worker.join();
  EXPECT_TRUE(gate.StopRequested());
  gate.WaitWhilePaused();  // still paused, but stopped: no wait
  EXPECT_FALSE(gate.HoldingWorker());
}

}  // namespace
}  // namespace vermilax
