// Judging one file: the cache, the white list, the signatures, the packer sets
// and the heuristic rules, in that order.
#include <exception>

#include "engine/checker.h"
#include "engine/icon_resources.h"
#include "engine/pe_scanner_ex.h"
#include "env/ansi_case.h"
#include "env/file_helpers.h"
#include "scan/settings.h"

namespace vermilax {
namespace {

constexpr uint32_t kOptionAlways = 0x20;
constexpr uint32_t kOptionExecutableExtension = 0x40;

// The extension is what follows the last dot of the last path component.
bool HasExecutableExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t separator = path.find_last_of("\\/:");
  if (dot == std::string::npos || (separator != std::string::npos && separator > dot)) return false;
  const std::string extension = UpperCaseAnsi(std::string_view(path).substr(dot));
  return extension == ".EXE" || extension == ".DLL" || extension == ".OCX" || extension == ".CPL";
}

std::string UpperName(const std::string& name) { return UpperCaseAnsi(name); }

}  // namespace

CheckResult Checker::CheckFile(const std::string& path) {
  try {
    return Judge(path);
  } catch (const std::exception& error) {
    CheckResult result;
    result.verdict = Verdict::Error;
    result.threatName = error.what();
    return result;
  }
}

CheckResult Checker::Judge(const std::string& path) {
  CheckResult result;
  const Digest pathDigest = MD5OfString(LowerCaseAnsi(path));
  const int32_t size = FileSizeOf(path);
  if (checked_files_.HasPath(pathDigest, size)) return result;

  ScanContext context;
  context.Options = kOptionAlways | (HasExecutableExtension(path) ? kOptionExecutableExtension : 0);
  PEScannerEx scanner(path, pause_);
  int32_t analysis = 0;
  if (!scanner.HasError()) {
    analysis = scanner.Execute(&context);
  } else if (scanner.ErrorText() == "NF") {
    return result;
  }
  if (checked_files_.HasFile(scanner.FileSize(), scanner.Digest(), pathDigest)) return result;

  result.digestText = DigestToHex(scanner.Digest());
  result.fileSize = size;
  if (IsWhiteListed(size, scanner.Digest())) return result;

  auto remember = [&] { checked_files_.Remember(scanner.Digest(), size, pathDigest); };
  if (scanner.HasError()) {
    if (analysis == 1) {
      result.threatName = context.Name + " (" + scanner.ErrorText() + ")";
      result.verdict = Verdict::Suspicious;
    } else {
      result.threatName = scanner.ErrorText();
      result.verdict = Verdict::Error;
    }
    remember();
    return result;
  }
  if (analysis != 0) {
    std::string name = MatchSignatures(scanner);
    if (!name.empty()) {
      result.threatName = std::move(name);
      result.verdict = Verdict::Threat;
      remember();
      return result;
    }
  }

  const PackerSignature* matched = nullptr;
  if (analysis != 0) {
    for (const auto& set : packer_sets_) {
      if (set->FindMatch(scanner).Record != nullptr) {
        matched = set.get();
        break;
      }
    }
  }
  if (GetSettings().Heur()) {
    if (matched != nullptr && scanner.UpxLayout()) {
      const std::string& name = matched->Name();
      const uint8_t kind = scanner.PackerKind();
      if ((kind == kPackerUpx && name != "upx") || (kind == kPackerMew && name != "mew") ||
          (kind == kPackerUpack && name != "upack")) {
        result.verdict = Verdict::Threat;
        result.threatName = "HEUR.Obfuscated." + UpperName(name);
      }
    }
    if (result.verdict != Verdict::Threat && matched != nullptr && IsGeneralPackerName(matched->Name())) {
      result.verdict = Verdict::Threat;
      result.threatName = "HEUR.General." + UpperName(matched->Name());
    }
    if (result.verdict != Verdict::Threat && matched != nullptr && IsSuspiciousPackerName(matched->Name())) {
      result.verdict = Verdict::Suspicious;
      result.threatName = "HEUR.Suspicious." + UpperName(matched->Name());
    }
    if (result.verdict != Verdict::Threat) {
      HeuristicMatch rule = heuristics_.Evaluate(scanner);
      if (rule.Index >= 0) {
        result.threatName = rule.Name;
        result.verdict = heuristics_.Items(rule.Index).Severity == 1 ? Verdict::Threat : Verdict::Suspicious;
      }
    }
  }
  remember();
  return result;
}

std::string Checker::MatchSignatures(PEScannerEx& scanner) const {
  const MD5Record* found = md5_main_.Find(scanner.FileSize(), scanner.Digest());
  if (found == nullptr) found = md5_add_on_.Find(scanner.FileSize(), scanner.Digest());
  if (found == nullptr && scanner.IsExecutableImage()) {
    if (std::optional<IconDigest> icon = ComputeIconDigest(scanner.FileName())) {
      found = icon_signatures_.Find(icon->size, icon->digest);
    }
  }
  if (found != nullptr) return std::string(found->NameText());
  if (!GetSettings().DeepScan()) return {};
  if (const MD5Record* section = section_signatures_.FindSection(scanner)) return std::string(section->NameText());
  if (const VirusRecord* bytes = deep_signatures_.FindMatch(scanner)) return bytes->Name;
  return {};
}

bool Checker::IsFileWhiteListed(const std::string& path) const {
  const Digest digest = MD5OfFile(path);
  return IsWhiteListed(FileSizeOf(path), digest);
}

bool Checker::IsWhiteListed(int32_t size, const Digest& digest) const {
  return white_list_index_.Contains(size, digest);
}

}  // namespace vermilax
