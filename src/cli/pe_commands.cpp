#include "cli/pe_commands.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

#include "engine/md5.h"
#include "engine/pe_scanner_ex.h"

namespace vermilax::cli {
namespace {

constexpr size_t kEntryPointHexBytes = 64;

std::string BareName(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The checker reports damaged executables only for these extensions.
bool HasExecutableExtension(const std::string& path) {
  std::string name = BareName(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = name.substr(dot);
  for (char& c : extension) c = char(std::toupper(static_cast<unsigned char>(c)));
  return extension == ".EXE" || extension == ".DLL" || extension == ".OCX" || extension == ".CPL";
}

uint32_t CheckerOptions(const std::string& path) {
  return HasExecutableExtension(path) ? (kScanChecker | kScanReportBroken) : kScanChecker;
}

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

// A field of a signature line: the separator and line ends must not appear in it.
std::string LineField(std::string text) {
  for (char& c : text)
    if (c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return text;
}

int Usage(std::ostream& err, const char* synopsis) {
  err << "usage: vermilax-cli " << synopsis << "\n";
  return 2;
}

}  // namespace

int RunPeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) return Usage(err, "pe FILE");
  const std::string& path = args[0];
  PEScannerEx scanner(path, false);
  const bool opened = !scanner.HasError();
  ScanContext context;
  context.Options = CheckerOptions(path);
  nlohmann::ordered_json result = nullptr;
  if (opened) {
    result = scanner.Execute(&context);
    scanner.ReadImports();
    scanner.ReadExports();
  }

  nlohmann::ordered_json sections = nlohmann::ordered_json::array();
  for (const SectionInfo& s : scanner.Sections()) {
    sections.push_back({{"name", s.Name},
                        {"virtual_address", s.VirtualAddress},
                        {"virtual_size", s.VirtualSize},
                        {"raw_offset", s.PointerToRawData},
                        {"raw_size", s.SizeOfRawData},
                        {"aligned_rva", s.AlignedRva},
                        {"aligned_virtual_size", s.AlignedVirtualSize},
                        {"aligned_raw_offset", s.AlignedRawOffset},
                        {"aligned_raw_size", s.AlignedRawSize},
                        {"md5", DigestToHex(s.Digest)}});
  }
  const size_t ep_shown = std::min<size_t>(size_t(std::max(scanner.EntryPointBytesRead(), 0)), kEntryPointHexBytes);
  nlohmann::ordered_json report = {
      {"error", scanner.ErrorText()},
      {"result", result},
      {"context_name", context.Name},
      {"pe32plus", scanner.IsPE32Plus()},
      {"executable_image", scanner.IsExecutableImage()},
      {"subsystem", scanner.Subsystem()},
      {"file_size", scanner.FileSize()},
      {"md5", DigestToHex(scanner.Digest())},
      {"entry_point_offset", scanner.EntryPointOffset()},
      {"ep_bytes_read", scanner.EntryPointBytesRead()},
      {"ep_hex", Hex(scanner.EntryPointBuffer().data(), ep_shown)},
      {"sections", sections},
      {"upx_layout", scanner.UpxLayout()},
      {"packer_kind", scanner.PackerKind()},
      {"imports", scanner.ImportNames()},
      {"exports", scanner.ExportNames()},
  };
  // Names come from the file: bytes that are not UTF-8 are replaced, never fatal.
  out << report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  return opened ? 0 : 1;
}

int RunSectionsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "sections FILE...");
  int status = 0;
  for (const std::string& path : args) {
    PEScannerEx scanner(path, false);
    ScanContext context;
    context.Options = CheckerOptions(path);
    int32_t result = scanner.HasError() ? 0 : scanner.Execute(&context);
    if (scanner.HasError()) {
      err << "vermilax-cli: " << path << ": " << scanner.ErrorText() << "\n";
      status = 1;
      continue;
    }
    if (result != 1) {
      // The checker matches section signatures only for completed PE32 analyses.
      err << "vermilax-cli: " << path << ": not a PE32 file analysable for section signatures\n";
      status = 1;
      continue;
    }
    const std::string file_name = LineField(BareName(path));
    for (const SectionInfo& s : scanner.Sections()) {
      if (s.AlignedRawSize == 0) continue;
      out << s.AlignedRawSize << ':' << DigestToHex(s.Digest) << ':' << file_name << ' ' << LineField(s.Name)
          << "\r\n";
    }
  }
  return status;
}

int RunDescribeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) return Usage(err, "describe FILE");
  out << DescribeFile(args[0], false);
  return 0;
}

}  // namespace vermilax::cli
