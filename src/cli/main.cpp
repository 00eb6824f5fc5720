#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Byte-exact output: no LF to CR LF translation on the standard streams.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  std::ios::sync_with_stdio(false);
  int code = vermilax::cli::RunCli(args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
