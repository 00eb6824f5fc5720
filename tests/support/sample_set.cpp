#include "support/sample_set.h"

#include <memory>
#include <stdexcept>

#include "engine/icon_resources.h"
#include "engine/md5.h"
#include "engine/memory_file.h"
#include "engine/pe_scanner.h"
#include "support/pe_writer.h"

namespace vermilax::test {
namespace {

const std::string kInjectorImports = "CreateRemoteThread,WriteProcessMemory";

PeBuilder Program(const std::string& entryPointBytes, const std::string& overlay) {
  PeBuilder builder;
  builder.imports = {{"KERNEL32.dll", {{"LoadLibraryA", 1}, {"GetProcAddress", 2}}}};
  builder.entry_point_bytes = entryPointBytes;
  builder.overlay = overlay;
  return builder;
}

PeBuilder WithImports(PeBuilder builder, std::vector<std::string> names) {
  PeImportModule module{"KERNEL32.dll", {}};
  uint16_t hint = 1;
  for (std::string& name : names) module.functions.push_back({std::move(name), hint++});
  builder.imports = {module};
  return builder;
}

// A UPX-like layout (a section without raw data, then one with) whose entry
// code is not UPX's: a far jump, as MEW leaves it.
PeBuilder ObfuscatedLayout() {
  PeBuilder builder;
  PeSection empty{"UPX0", ""};
  empty.virtual_address = 0x1000;
  empty.virtual_size = 0x10000;
  empty.raw_size = 0;
  PeSection body{"UPX1", std::string(0x400, '\x5A')};
  body.virtual_address = 0x11000;
  body.virtual_size = 0x1000;
  builder.sections = {empty, body};
  builder.entry_point = 0x11000;
  builder.entry_point_bytes = std::string("\xE9\x10\x00\x00\x00", 5) + "OBFUSCATED-STUB!";
  return builder;
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

const SampleFile& Named(const std::vector<SampleFile>& samples, const std::string& name) {
  for (const SampleFile& sample : samples) {
    if (sample.name == name) return sample;
  }
  throw std::logic_error("no sample " + name);
}

std::string DigestLine(const std::string& bytes, const std::string& name) {
  return DigestToHex(MD5OfString(bytes)) + ":" + std::to_string(bytes.size()) + ":" + name;
}

std::string SectionLine(const std::string& bytes, const std::string& sectionName, const std::string& name) {
  PEScanner scanner("sample", std::make_unique<MemoryFile>(bytes));
  ScanContext context;
  scanner.Execute(&context);
  for (const SectionInfo& section : scanner.Sections()) {
    if (section.Name == sectionName)
      return std::to_string(section.AlignedRawSize) + ":" + DigestToHex(section.Digest) + ":" + name;
  }
  throw std::logic_error("no section " + sectionName);
}

std::string IconLine(const std::string& bytes, const std::string& name) {
  std::optional<IconDigest> icon = ComputeIconDigest(std::make_unique<MemoryFile>(bytes));
  if (!icon) throw std::logic_error("no icon digest");
  return DigestToHex(icon->digest) + ":" + std::to_string(icon->size) + ":" + name;
}

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

const std::string kDeepEntryPoint = "\xEB\x02VERMILAX-DEEP";

}  // namespace

std::vector<SampleFile> BuildSampleFiles() {
  std::vector<SampleFile> samples;
  auto add = [&](std::string name, std::string bytes, std::string expected, std::string deep = "") {
    if (deep.empty()) deep = expected;
    samples.push_back({std::move(name), std::move(bytes), std::move(expected), std::move(deep)});
  };

  PeBuilder clean = Program(std::string("\x55\x8B\xEC\x6A\x00\xE8", 6), "");
  AddIconGroup(clean, std::string(744, '\x11'));
  add("clean-program.exe", clean.Build(), "Clean");

  PeBuilder library;
  library.characteristics = 0x2102;
  PeExportTable exports;
  exports.dll_name = "clean-library.dll";
  exports.functions = {{"SampleInit", 0x1000, std::nullopt}, {"SampleRun", 0x1010, std::nullopt}};
  library.exports = exports;
  add("clean-library.dll", library.Build(), "Clean");

  add("threat-digest.exe", Program("", "known whole file").Build(), "Threat Trojan.Sample.Digest");
  add("threat-addon.exe", Program("", "known by the add-on set").Build(), "Threat Trojan.Sample.AddOn");

  PeBuilder icon = Program("", "");
  AddIconGroup(icon, std::string(512, '\x66'));
  add("threat-icon.exe", icon.Build(), "Threat Trojan.Sample.Icon");

  PeBuilder section = Program("", "");
  section.sections.push_back({".worm", std::string(0x300, 'W')});
  add("deep-section.exe", section.Build(), "Clean", "Threat Worm.Sample.Section");

  add("deep-bytes.exe", Program(kDeepEntryPoint, "").Build(), "Clean", "Threat Virus.Sample.Bytes");

  add("packed-general.exe",
      Program(std::string("\x55\x8B\xEC\x53\x56\x57\x60\xE8\x00\x00\x00\x00\x5D", 13), "").Build(),
      "Threat HEUR.General.YODA");
  add("packed-suspicious.exe",
      Program(std::string("\x90\x60\xE8\x00\x00\x00\x00\x5D\x81\xED", 10), "").Build(),
      "Suspicious HEUR.Suspicious.EXECRYPT");
  add("obfuscated-layout.exe", ObfuscatedLayout().Build(), "Threat HEUR.Obfuscated.UPX");

  add("heur-threat.exe", WithImports(Program("", ""), {"CreateRemoteThread", "WriteProcessMemory"}).Build(),
      "Threat Trojan.Sample.Injector");
  add("heur-suspicious.exe", WithImports(Program("", ""), {"SetWindowsHookExA", "GetAsyncKeyState"}).Build(),
      "Suspicious Riskware.Sample.Keylogger");
  // Would be named by the injector rule, but the white list knows it.
  add("white-listed.exe",
      WithImports(Program("", "a trusted tool"), {"CreateRemoteThread", "WriteProcessMemory"}).Build(), "Clean");

  PeBuilder broken = Program("", "");
  broken.size_of_optional_header = 0x40;
  add("broken.exe", broken.Build(), "Suspicious Broken.Executable (SizeOfOptionalHeader too small)");

  add("not-a-program.exe", "This is a text file, not a program.\r\n", "Error Invalid DOS signature");
  return samples;
}

std::vector<std::pair<std::string, std::string>> BuildSampleDatabaseTexts() {
  const std::vector<SampleFile> samples = BuildSampleFiles();
  auto bytes = [&](const char* name) { return Named(samples, name).bytes; };
  return {
      {"heur.b", Crlf({"1:*:*:" + kInjectorImports + ":*:Trojan.Sample.Injector",
                       "U:*:*:SetWindowsHookExA,GetAsyncKeyState:*:Riskware.Sample.Keylogger"})},
      {"md.c", Crlf({DigestLine(bytes("threat-digest.exe"), "Trojan.Sample.Digest")})},
      {"amd.c", Crlf({DigestLine(bytes("threat-addon.exe"), "Trojan.Sample.AddOn")})},
      {"rico.c", Crlf({IconLine(bytes("threat-icon.exe"), "Trojan.Sample.Icon")})},
      {"wl.c", Crlf({DigestLine(bytes("white-listed.exe"), "white-listed.exe")})},
      {"smd.c", Crlf({SectionLine(bytes("deep-section.exe"), ".worm", "Worm.Sample.Section")})},
      {"vs.c", Crlf({"Virus.Sample.Bytes:1:EP+0:" + HexOf(kDeepEntryPoint)})},
      {"upx.z", Crlf({"[UPX 0.8x - 1.x]", "signature = 60 BE ?? ?? ?? ?? 8D BE ?? ?? ?? ?? 57 83 CD FF",
                      "ep_only = true", "[UPX layout, far jump]", "signature = E9 10 00 00 00 4F 42 46",
                      "ep_only = true"})},
      {"mew.z", Crlf({"[MEW 11 SE]", "signature = E9 ?? ?? ?? FF 0C ?? 00 00 00 00 00 00 00 00 00 0C",
                      "ep_only = true"})},
      {"upack.z", Crlf({"[Upack 0.3x]", "signature = BE ?? ?? ?? ?? AD 8B F8 95 A5 33 C0", "ep_only = true"})},
      {"yoda.z", Crlf({"[Yoda's Crypter 1.x]", "signature = 55 8B EC 53 56 57 60 E8 00 00 00 00 5D",
                       "ep_only = true"})},
      {"execrypt.z", Crlf({"[ExeCrypt 1.x]", "signature = 90 60 E8 00 00 00 00 5D 81 ED", "ep_only = true"})},
  };
}

}  // namespace vermilax::test
