#include "scan/pause_gate.h"

namespace vermilax {

void PauseGate::Pause() {
  std::lock_guard lock(mutex_);
  ++holds_;
}

void PauseGate::Resume() {
  std::lock_guard lock(mutex_);
  if (holds_ > 0) --holds_;
  changed_.notify_all();
}

bool PauseGate::Paused() const {
  std::lock_guard lock(mutex_);
  return holds_ > 0;
}

void PauseGate::RequestStop() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  changed_.notify_all();
}

bool PauseGate::StopRequested() const {
  std::lock_guard lock(mutex_);
  return stop_;
}

void PauseGate::WaitWhilePaused() {
  std::unique_lock lock(mutex_);
  ++waiting_;
  changed_.wait(lock, [&] { return holds_ == 0 || stop_; });
  --waiting_;
}

bool PauseGate::HoldingWorker() const {
  std::lock_guard lock(mutex_);
  return waiting_ > 0;
}

}  // namespace vermilax
