#pragma once
#include <string>
#include <vector>

namespace vermilax::test {

// What one in-process run of vermilax-cli printed and returned.
struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

// Runs vermilax-cli with `args` (without the program name) in this process.
ToolRun RunTool(const std::vector<std::string>& args);

}  // namespace vermilax::test
