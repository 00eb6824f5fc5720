#pragma once
// The commands of vermilax-cli. Each takes the arguments after its own name
// and returns the process exit code: 0 on success, 2 on any failure.
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

using Args = std::vector<std::string>;

// pack TEXT_FILE VERSION OUT: a signature archive of the text file's bytes.
int RunPack(const Args& args, std::ostream& out, std::ostream& err);
// unpack ARCHIVE: the archive's database text, byte for byte.
int RunUnpack(const Args& args, std::ostream& out, std::ostream& err);
// version ARCHIVE: the archive's version text and a line end.
int RunVersion(const Args& args, std::ostream& out, std::ostream& err);
// hash FILE...: one whole-file signature line ("DIGEST:size:name") per file.
int RunHash(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
