#pragma once
// Small timing helpers shared by the benchmarks: each figure is the best of a few
// runs, and targets are ratios against a baseline measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace vermilax::bench {

inline double SecondsOf(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double BestOf(int runs, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) best = std::min(best, SecondsOf(work));
  return best;
}

// Runs a shell command and returns its wall time, or a negative number on failure.
inline double TimeCommand(const std::string& command) {
  int rc = 0;
  double t = SecondsOf([&] { rc = std::system((command + " > /dev/null 2>&1").c_str()); });
  return rc == 0 ? t : -1.0;
}

inline void Report(const char* name, double value, const char* unit) {
  std::printf("%-48s %12.3f %s\n", name, value, unit);
}

inline void Verdict(const char* target, bool met) {
  std::printf("target: %-40s %s\n", target, met ? "met" : "NOT met");
}

}  // namespace vermilax::bench
