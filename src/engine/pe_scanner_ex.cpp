#include "engine/pe_scanner_ex.h"

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "engine/little_endian.h"
#include "engine/md5.h"

namespace vermilax {
namespace {

constexpr uint16_t kUpackOptionalHeaderSize = 0x148;
constexpr int64_t kMaxUpxUnpackedSize = 0xB000000;
constexpr uint32_t kMinUpxPackedSize = 25;

// Decompressor stubs of UPX; the entry-point code of a UPX file repeats parts of them.
constexpr uint8_t kStubNrv2b[24] = {0x11, 0xdb, 0x11, 0xc9, 0x01, 0xdb, 0x75, 0x07, 0x8b, 0x1e, 0x83, 0xee,
                                    0xfc, 0x11, 0xdb, 0x11, 0xc9, 0x11, 0xc9, 0x75, 0x20, 0x41, 0x01, 0xdb};
constexpr uint8_t kStubNrv2d[24] = {0x83, 0xf0, 0xff, 0x74, 0x78, 0xd1, 0xf8, 0x89, 0xc5, 0xeb, 0x0b, 0x01,
                                    0xdb, 0x75, 0x07, 0x8b, 0x1e, 0x83, 0xee, 0xfc, 0x11, 0xdb, 0x11, 0xc9};
constexpr uint8_t kStubNrv2e[24] = {0xeb, 0x52, 0x31, 0xc9, 0x83, 0xe8, 0x03, 0x72, 0x11, 0xc1, 0xe0, 0x08,
                                    0x8a, 0x06, 0x46, 0x83, 0xf0, 0xff, 0x74, 0x75, 0xd1, 0xf8, 0x89, 0xc5};

std::string_view Bytes(const uint8_t* data, size_t length) {
  return std::string_view(reinterpret_cast<const char*>(data), length);
}

}  // namespace

PEScannerEx::PEScannerEx(const std::string& fileName, bool pauseBeforeAnalysis)
    : PEScanner(fileName), pause_(pauseBeforeAnalysis) {}

PEScannerEx::PEScannerEx(const std::string& fileName, std::unique_ptr<platform::File> file, bool pauseBeforeAnalysis)
    : PEScanner(fileName, std::move(file)), pause_(pauseBeforeAnalysis) {}

int PEScannerEx::FindUpxPair() const {
  const auto& s = Sections();
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i].AlignedRawSize == 0 && s[i].AlignedVirtualSize != 0 && s[i + 1].AlignedRawSize != 0 &&
        s[i + 1].AlignedVirtualSize != 0)
      return int(i);
  }
  return -1;
}

bool PEScannerEx::LooksLikeUpack() const {
  const uint8_t* ep = EntryPointBuffer().data();
  // The address the code loads, as an offset from the image base.
  const int64_t v = int64_t(int32_t(LoadU32LE(ep + 1))) - int64_t(ImageBase());
  const int64_t lowest = MinSectionRva();
  if (packer_kind_ == kPackerUpack && NumberOfSections() == 3) {
    return ep[0] == 0xBE && v > lowest && ((ep[5] == 0xAD && ep[6] == 0x50) || (ep[5] == 0xFF && ep[6] == 0x36));
  }
  if (packer_kind_ == kPackerNone && NumberOfSections() == 2) {
    if (ep[0] == 0x60 && ep[1] == 0xE8 && LoadU32LE(ep + 2) == 9) return true;
    return ep[0] == 0xBE && v > 0 && v < lowest && ep[5] == 0xAD && ep[6] == 0x8B && ep[7] == 0xF8;
  }
  return false;
}

bool PEScannerEx::EntryPointInUpxStub() const {
  const uint8_t* ep = EntryPointBuffer().data();
  const std::string_view needles[] = {Bytes(ep + 0x69, 13), Bytes(ep + 0x71, 13)};
  for (const uint8_t* stub : {kStubNrv2b, kStubNrv2d, kStubNrv2e}) {
    for (std::string_view needle : needles)
      if (FindBytes(Bytes(stub, 24), needle)) return true;
  }
  return false;
}

int32_t PEScannerEx::Execute(ScanContext* context) {
  packer_kind_ = kPackerNone;
  upx_layout_ = false;
  if (pause_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int32_t result = PEScanner::Execute(context);

  if (!IsPE32Plus() && SizeOfOptionalHeader() == kUpackOptionalHeaderSize) packer_kind_ = kPackerUpack;

  const int pair = FindUpxPair();
  upx_layout_ = pair >= 0;
  // Compilers leave .textbss without raw data: that pair is not a packer's.
  if (upx_layout_) {
    for (const SectionInfo& s : Sections())
      if (s.Name == ".textbs") upx_layout_ = false;
  }

  if (upx_layout_ && EntryPointBytesRead() >= 16 && EntryPointBuffer()[0] == 0xE9) packer_kind_ = kPackerMew;
  if ((upx_layout_ || packer_kind_ == kPackerUpack) && LooksLikeUpack()) packer_kind_ = kPackerUpack;

  if (upx_layout_) {
    const int64_t packed = Sections()[size_t(pair) + 1].AlignedRawSize;
    const int64_t unpacked =
        int64_t(Sections()[size_t(pair)].AlignedVirtualSize) + Sections()[size_t(pair) + 1].AlignedVirtualSize;
    if (packed > kMinUpxPackedSize && packed < unpacked && unpacked <= kMaxUpxUnpackedSize) {
      if (EntryPointInUpxStub()) packer_kind_ = kPackerUpx;
    } else {
      SetErrorText("UPX: Size mismatch or dsize too big (ssize: " + std::to_string(packed) +
                   ", dsize: " + std::to_string(unpacked) + ")");
      result = 1;
    }
  }
  return result;
}

}  // namespace vermilax
