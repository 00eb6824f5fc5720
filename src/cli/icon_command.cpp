// The icon command: icon-signature lines for programs, keyed as the checker looks them up.
#include "cli/icon_command.h"

#include "engine/icon_resources.h"
#include "env/text_utils.h"
#include "platform/files.h"

namespace vermilax::cli {
namespace {

// The bare file name, made safe as the last field of a database line.
std::string NameField(const std::string& path) {
  std::string name;
  if (platform::PathSeparator() == '\\') {
    name = ExtractNameFromPath(path);
  } else {
    size_t slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
  }
  for (char& c : name)
    if (c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return name;
}

}  // namespace

int RunIconCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "usage: vermilax-cli icon FILE...\n";
    return 2;
  }
  int code = 0;
  for (const std::string& path : args) {
    platform::OpenResult opened = platform::OpenFileForRead(path, platform::ShareMode::ReadWrite);
    if (!opened.file) {
      err << "vermilax-cli: cannot read '" << path << "'\n";
      code = 2;
      continue;
    }
    std::optional<IconDigest> icon = ComputeIconDigest(std::move(opened.file));
    if (icon) out << DigestToHex(icon->digest) << ':' << icon->size << ':' << NameField(path) << '\n';
  }
  return code;
}

}  // namespace vermilax::cli
