// Commands that write and read signature archives.
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "engine/signature_archive.h"

namespace vermilax::cli {
namespace {

bool CheckCount(const Args& args, size_t count, const char* usage, std::ostream& err) {
  if (args.size() == count) return true;
  err << "usage: vermilax-cli " << usage << "\n";
  return false;
}

// Reads both entries of an archive or reports it as unreadable.
bool ReadEntries(const std::string& path, std::string& db, std::string& version, std::ostream& err) {
  if (ReadSignatureArchiveEntries(path, db, version)) return true;
  err << "vermilax-cli: cannot read signature archive '" << path << "'\n";
  return false;
}

}  // namespace

int RunPack(const Args& args, std::ostream&, std::ostream& err) {
  if (!CheckCount(args, 3, "pack TEXT_FILE VERSION OUT", err)) return 2;
  std::string text;
  if (!ReadWholeFile(args[0], text, kMaxArchiveTextSize)) {
    err << "vermilax-cli: cannot read '" << args[0] << "' (or it is larger than "
        << (kMaxArchiveTextSize >> 20) << " MiB, the limit of an archive)\n";
    return 2;
  }
  if (!WriteSignatureArchive(args[2], text, args[1])) {
    err << "vermilax-cli: cannot write '" << args[2] << "'\n";
    return 2;
  }
  return 0;
}

int RunUnpack(const Args& args, std::ostream& out, std::ostream& err) {
  if (!CheckCount(args, 1, "unpack ARCHIVE", err)) return 2;
  std::string db, version;
  if (!ReadEntries(args[0], db, version, err)) return 2;
  out.write(db.data(), std::streamsize(db.size()));
  return 0;
}

int RunVersion(const Args& args, std::ostream& out, std::ostream& err) {
  if (!CheckCount(args, 1, "version ARCHIVE", err)) return 2;
  std::string db, version;
  if (!ReadEntries(args[0], db, version, err)) return 2;
  out << version << "\n";
  return 0;
}

}  // namespace vermilax::cli
