#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

// icon FILE...: one icon-signature line ("DIGEST:size:name", the format of
// "rico.c") per file with an icon group; files without one print nothing.
// Exit code 2 when a file cannot be opened, else 0.
int RunIconCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
