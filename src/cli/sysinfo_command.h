#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

// sysinfo: the machine and program facts of the about box, one labelled line each.
int RunSysinfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
