#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "env/text_utils.h"

namespace vermilax::bench {
namespace {

// Feeds complete lines to the counter; a last line without its end still counts.
class LineCounter {
 public:
  LineCounter(ChildRun& run, const LinePredicate& isMatch) : run_(run), is_match_(isMatch) {}

  void Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == '\n') {
        Finish();
      } else {
        pending_ += data[i];
      }
    }
  }
  void Close() {
    if (!pending_.empty()) Finish();
  }

 private:
  void Finish() {
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    ++run_.outputLines;
    if (is_match_ && is_match_(pending_)) ++run_.matchingLines;
    pending_.clear();
  }

  ChildRun& run_;
  const LinePredicate& is_match_;
  std::string pending_;
};

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

std::string CommandText(const std::vector<std::string>& argv) { return JoinText(argv, ' '); }

ChildRun RunChild(const std::vector<std::string>& argv, const LinePredicate& isMatch, const std::string& errorFile) {
  if (argv.empty()) throw std::invalid_argument("RunChild: no program");
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) Fail("pipe");
  const int errorFd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (errorFd < 0) Fail("cannot create " + errorFile);
  const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nullFd < 0) Fail("cannot open /dev/null");

  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    dup2(nullFd, 0);
    dup2(output[1], 1);
    dup2(errorFd, 2);
    execvp(args[0], args.data());
    const char message[] = "exec failed\n";
    (void)!write(2, message, sizeof message - 1);
    _exit(127);
  }
  close(output[1]);
  close(errorFd);
  close(nullFd);

  LineCounter counter(run, isMatch);
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(output[0], buffer, sizeof buffer);
    if (got > 0) {
      counter.Feed(buffer, size_t(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  counter.Close();
  close(output[0]);

  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) Fail("wait4");
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakRssBytes = uint64_t(usage.ru_maxrss) * 1024;  // Linux reports kilobytes
  if (WIFEXITED(status)) {
    run.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    run.signal = WTERMSIG(status);
  }
  std::ifstream errors(errorFile, std::ios::binary);
  std::ostringstream text;
  text << errors.rdbuf();
  run.errorText = text.str();
  return run;
}

}  // namespace vermilax::bench
