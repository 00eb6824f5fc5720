#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vermilax::test {

// A child process that does nothing but sleep until it is ended (at most a minute,
// so a failed test leaves nothing running for long). It runs `program`, which must
// be a copy of the current test program (the default): a test program started with
// the child's flag turns into the sleeper before any test runs.
class SleepingChild {
 public:
  explicit SleepingChild(const std::string& program = "");
  // Ends the child if it still runs and collects its exit.
  ~SleepingChild();
  SleepingChild(const SleepingChild&) = delete;
  SleepingChild& operator=(const SleepingChild&) = delete;

  // True once the child runs and has its main module loaded.
  bool Started() const { return id_ != 0; }
  uint32_t Id() const { return id_; }
  // Blocks until the child has ended; its exit code, or nullopt when a signal ended it.
  std::optional<uint32_t> WaitForExit();

 private:
  uint32_t id_ = 0;
  bool exited_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
#endif
};

}  // namespace vermilax::test
