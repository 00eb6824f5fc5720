#pragma once
// Runs a program as a child process and measures it the way the system sees
// it: wall time, the child's own peak resident set and processor time.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vermilax::bench {

struct ChildRun {
  double seconds = 0;          // wall time from start to exit
  double cpuSeconds = 0;       // user + system time of the child
  uint64_t peakRssBytes = 0;   // largest resident set the child reached
  int exitCode = -1;           // -1 when the child was killed by a signal
  int signal = 0;
  int64_t outputLines = 0;     // lines the child wrote to its standard output
  int64_t matchingLines = 0;   // those of them `isMatch` accepted
  std::string errorText;       // what the child wrote to its standard error
};

using LinePredicate = std::function<bool(std::string_view line)>;

// Runs argv[0] (found on PATH when it has no slash) with standard input from
// /dev/null, counts the lines of its standard output (passing each to `isMatch`
// when one is given) and keeps its standard error in `errorFile`, which is read
// back into errorText after the exit.
ChildRun RunChild(const std::vector<std::string>& argv, const LinePredicate& isMatch, const std::string& errorFile);

// "prog arg arg ...", for messages.
std::string CommandText(const std::vector<std::string>& argv);

}  // namespace vermilax::bench
