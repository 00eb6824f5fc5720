#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vermilax {

// Hands notifications from worker threads to the owner's thread. A worker's
// Post waits until the owner has run the notification, so the owner's handlers
// never run concurrently and see the worker's state as it was when posted.
class NotificationDispatcher {
 public:
  // The constructing thread is the owner.
  NotificationDispatcher();
  ~NotificationDispatcher();  // closes
  NotificationDispatcher(const NotificationDispatcher&) = delete;
  NotificationDispatcher& operator=(const NotificationDispatcher&) = delete;

  // Runs `notification` on the owner's thread and returns once it has run: true.
  // False, without running it, when the dispatcher is or gets closed first.
  // Called on the owner's thread itself, it runs the notification at once
  // (waiting for itself would never end).
  bool Post(std::function<void()> notification);

  // Called on the posting thread each time a notification is queued, so an
  // owner that sleeps in a window's message loop can post itself a message and
  // call RunPending from it. Set it before any worker posts.
  void SetOnPosted(std::function<void()> wake) { on_posted_ = std::move(wake); }

  // Owner side: runs every queued notification; returns how many ran. An
  // exception from a notification reaches the caller; its worker is released
  // and the rest stay queued.
  size_t RunPending();
  // Waits up to `timeout` for a notification, then runs all that are queued.
  size_t WaitAndRun(std::chrono::milliseconds timeout);

  // Releases every waiting worker without running its notification; later
  // Posts return false at once. Used when the owner goes away.
  void Close();
  bool Closed() const;
  // True on the thread that constructed the dispatcher.
  bool IsOwnerThread() const { return std::this_thread::get_id() == owner_; }
  // True while a notification waits to be run.
  bool HasPending() const;

 private:
  struct Request {
    std::function<void()> notification;
    bool done = false;
    bool ran = false;
  };

  std::shared_ptr<Request> TakeNext();
  void Finish(const std::shared_ptr<Request>& request, bool ran);

  const std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable posted_;    // the owner waits for work
  std::condition_variable finished_;  // workers wait for their request
  std::deque<std::shared_ptr<Request>> queue_;
  bool closed_ = false;
  std::function<void()> on_posted_;
};

}  // namespace vermilax
