#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/pe_scanner.h"

namespace vermilax {

enum PackerKindCode : uint8_t {
  kPackerNone = 0,
  kPackerUpx = 1,
  kPackerMew = 2,
  kPackerUpack = 3,
};

// PEScanner plus the section layout and entry-point code that packers of the
// UPX family leave behind. Classifies only; never unpacks.
class PEScannerEx : public PEScanner {
 public:
  // `pauseBeforeAnalysis` gives up the processor for 1 ms before each analysis so a
  // long scan leaves the desktop responsive; batch tools turn it off.
  explicit PEScannerEx(const std::string& fileName, bool pauseBeforeAnalysis = true);
  PEScannerEx(const std::string& fileName, std::unique_ptr<platform::File> file, bool pauseBeforeAnalysis = true);

  int32_t Execute(ScanContext* context) override;

  bool UpxLayout() const { return upx_layout_; }
  uint8_t PackerKind() const { return packer_kind_; }
  void SetPauseBeforeAnalysis(bool on) { pause_ = on; }

 private:
  // Index of the first section of the UPX-like pair, or -1.
  int FindUpxPair() const;
  bool LooksLikeUpack() const;
  bool EntryPointInUpxStub() const;

  bool pause_;
  bool upx_layout_ = false;
  uint8_t packer_kind_ = kPackerNone;
};

// A short technical summary of a file (digest, entry-point bytes, sections) with
// CR LF line ends, or an empty text when the file cannot be opened or names no
// sections. Never throws.
std::string DescribeFile(const std::string& fileName, bool pauseBeforeAnalysis = true);
// The same over a scanner that has not run yet (a file opened by the caller).
std::string DescribeFile(PEScannerEx& scanner);

}  // namespace vermilax
