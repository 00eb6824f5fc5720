#pragma once
#include <condition_variable>
#include <mutex>

namespace vermilax {

// Holds a worker at its safe points while paused. Pauses nest: the user's
// pause and a database update's hold are released separately, and the worker
// goes on only when neither holds it. A stop request releases it regardless.
class PauseGate {
 public:
  void Pause();
  // Releases one Pause; extra calls do nothing.
  void Resume();
  bool Paused() const;

  // Sets the stop flag for good and releases a held worker.
  void RequestStop();
  bool StopRequested() const;

  // Worker side, at a safe point: returns at once unless paused; otherwise
  // waits until resumed or stopped.
  void WaitWhilePaused();
  // True while a worker waits inside WaitWhilePaused.
  bool HoldingWorker() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int holds_ = 0;
  int waiting_ = 0;
  bool stop_ = false;
};

}  // namespace vermilax
