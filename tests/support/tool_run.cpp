#include "support/tool_run.h"

#include <sstream>

#include "cli/cli.h"

namespace vermilax::test {

ToolRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = cli::RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace vermilax::test
