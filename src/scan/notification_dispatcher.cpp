#include "scan/notification_dispatcher.h"

namespace vermilax {

NotificationDispatcher::NotificationDispatcher() : owner_(std::this_thread::get_id()) {}

NotificationDispatcher::~NotificationDispatcher() { Close(); }

bool NotificationDispatcher::Post(std::function<void()> notification) {
  if (std::this_thread::get_id() == owner_) {
    if (Closed()) return false;
    notification();
    return true;
  }
  auto request = std::make_shared<Request>();
  request->notification = std::move(notification);
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  queue_.push_back(request);
  posted_.notify_all();
  if (on_posted_) {
    lock.unlock();  // the owner may take the request while the wake-up is sent
    on_posted_();
    lock.lock();
  }
  finished_.wait(lock, [&] { return request->done; });
  return request->ran;
}

std::shared_ptr<NotificationDispatcher::Request> NotificationDispatcher::TakeNext() {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return nullptr;
  std::shared_ptr<Request> request = std::move(queue_.front());
  queue_.pop_front();
  return request;
}

void NotificationDispatcher::Finish(const std::shared_ptr<Request>& request, bool ran) {
  std::lock_guard lock(mutex_);
  request->done = true;
  request->ran = ran;
  finished_.notify_all();
}

size_t NotificationDispatcher::RunPending() {
  size_t count = 0;
  while (std::shared_ptr<Request> request = TakeNext()) {
    // The worker is released even when the notification throws.
    struct Release {
      NotificationDispatcher* self;
      const std::shared_ptr<Request>& request;
      ~Release() { self->Finish(request, true); }
    } release{this, request};
    request->notification();
    ++count;
  }
  return count;
}

size_t NotificationDispatcher::WaitAndRun(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, timeout, [&] { return !queue_.empty() || closed_; });
  }
  return RunPending();
}

void NotificationDispatcher::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (const std::shared_ptr<Request>& request : queue_) request->done = true;  // ran stays false
  queue_.clear();
  finished_.notify_all();
  posted_.notify_all();
}

bool NotificationDispatcher::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

bool NotificationDispatcher::HasPending() const {
  std::lock_guard lock(mutex_);
  return !queue_.empty();
}

}  // namespace vermilax
