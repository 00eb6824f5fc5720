#include "engine/pe_scanner_ex.h"

#include <gtest/gtest.h>

#include "support/pe_analysis.h"
#include "support/pe_writer.h"

namespace vermilax {
namespace {

using test::AnalysePe;
using test::PeBuilder;

constexpr uint8_t kNrv2b[24] = {0x11, 0xdb, 0x11, 0xc9, 0x01, 0xdb, 0x75, 0x07, 0x8b, 0x1e, 0x83, 0xee,
                                0xfc, 0x11, 0xdb, 0x11, 0xc9, 0x11, 0xc9, 0x75, 0x20, 0x41, 0x01, 0xdb};
constexpr uint8_t kNrv2d[24] = {0x83, 0xf0, 0xff, 0x74, 0x78, 0xd1, 0xf8, 0x89, 0xc5, 0xeb, 0x0b, 0x01,
                                0xdb, 0x75, 0x07, 0x8b, 0x1e, 0x83, 0xee, 0xfc, 0x11, 0xdb, 0x11, 0xc9};
constexpr uint8_t kNrv2e[24] = {0xeb, 0x52, 0x31, 0xc9, 0x83, 0xe8, 0x03, 0x72, 0x11, 0xc1, 0xe0, 0x08,
                                0x8a, 0x06, 0x46, 0x83, 0xf0, 0xff, 0x74, 0x75, 0xd1, 0xf8, 0x89, 0xc5};

constexpr uint32_t kImageBase = 0x400000;
constexpr uint32_t kUpx1Address = 0x11000;

std::string LE32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char((v >> (8 * i)) & 0xFF);
  return s;
}

// 0x80 bytes of entry-point code; `at` receives 13 bytes of `stub` from `from`.
std::string EntryCode(uint8_t first, const uint8_t* stub = nullptr, size_t at = 0, size_t from = 0) {
  std::string code(0x80, '\x90');
  code[0] = char(first);
  if (stub) code.replace(at, 13, reinterpret_cast<const char*>(stub) + from, 13);
  return code;
}

// A section without raw data followed by one with raw data: the UPX layout.
PeBuilder UpxLike(const std::string& entryCode, uint32_t upx0VirtualSize = 0x10000) {
  PeBuilder b;
  test::PeSection upx0;
  upx0.name = "UPX0";
  upx0.virtual_size = upx0VirtualSize;
  upx0.characteristics = 0xE0000080;
  test::PeSection upx1;
  upx1.name = "UPX1";
  upx1.data = std::string(0x800, '\x5A');
  b.sections = {upx0, upx1};
  b.entry_point = 0x1000 + ((upx0VirtualSize + 0xFFF) & ~0xFFFu);
  b.entry_point_bytes = entryCode;
  return b;
}

TEST(PEScannerEx, UpxLayoutAndPackerKindByEntryCode) {
  const struct {
    const char* label;
    std::string code;
    uint8_t kind;
  } kCases[] = {
      {"plain code", EntryCode(0x60), kPackerNone},
      {"jump first: MEW", EntryCode(0xE9), kPackerMew},
      {"NRV2B piece at 0x69", EntryCode(0x60, kNrv2b, 0x69, 0), kPackerUpx},
      {"NRV2B tail at 0x69", EntryCode(0x60, kNrv2b, 0x69, 11), kPackerUpx},
      {"NRV2D piece at 0x71", EntryCode(0x60, kNrv2d, 0x71, 4), kPackerUpx},
      {"NRV2E piece after a jump: the stub test wins", EntryCode(0xE9, kNrv2e, 0x71, 10), kPackerUpx},
      {"12 stub bytes are not enough", EntryCode(0x60, kNrv2e, 0x6A, 0), kPackerNone},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(UpxLike(c.code).BuildWithLayout().entry_point, kUpx1Address);
    for (uint32_t options : {kScanChecker | kScanReportBroken, kScanChecker}) {
      test::AnalysedPe pe = AnalysePe(UpxLike(c.code).Build(), options);
      SCOPED_TRACE(c.label);
      EXPECT_EQ(pe.result, 1);
      EXPECT_EQ(pe.scanner->ErrorText(), "");
      EXPECT_TRUE(pe.scanner->UpxLayout());
      EXPECT_EQ(pe.scanner->PackerKind(), c.kind);
    }
  }
}

TEST(PEScannerEx, TextbssSectionIsNotAPackerLayout) {
  PeBuilder b = UpxLike(EntryCode(0xE9));
  b.sections[0].name = ".textbss";
  test::AnalysedPe pe = AnalysePe(b.Build());
  EXPECT_EQ(pe.result, 1);
  EXPECT_FALSE(pe.scanner->UpxLayout());
  EXPECT_EQ(pe.scanner->PackerKind(), kPackerNone);

  // Anywhere in the table, not only in the pair.
  PeBuilder later = UpxLike(EntryCode(0x60));
  test::PeSection bss;
  bss.name = ".textbss";
  later.sections.push_back(bss);
  EXPECT_FALSE(AnalysePe(later.Build()).scanner->UpxLayout());
}

TEST(PEScannerEx, LayoutNeedsEmptyThenFilledSection) {
  EXPECT_FALSE(AnalysePe(PeBuilder().Build()).scanner->UpxLayout());
  // Raw data first, then none: not the pair.
  PeBuilder b = UpxLike(EntryCode(0x60));
  std::swap(b.sections[0], b.sections[1]);
  b.entry_point.reset();
  EXPECT_FALSE(AnalysePe(b.Build(), kScanChecker).scanner->UpxLayout());
}

TEST(PEScannerEx, ImpossibleUpxSizesAreAnAnalysisError) {
  PeBuilder tiny = UpxLike(EntryCode(0x60));
  std::string tiny_bytes = tiny.Build().substr(0, 0x200 + 20);  // 20 bytes of packed data remain

  PeBuilder huge = UpxLike(EntryCode(0x60), 0xB000000);

  PeBuilder no_growth = UpxLike(EntryCode(0x60), 0x1000);
  no_growth.sections[1].data.resize(0x3000);
  no_growth.sections[1].virtual_size = 0x1000;

  const struct {
    const char* label;
    std::string bytes;
    std::string error;
  } kCases[] = {
      {"packed size 25 or less", tiny_bytes, "UPX: Size mismatch or dsize too big (ssize: 20, dsize: 69632)"},
      {"unpacked size too big", huge.Build(),
       "UPX: Size mismatch or dsize too big (ssize: 2048, dsize: 184553472)"},
      {"packed not smaller than unpacked", no_growth.Build(),
       "UPX: Size mismatch or dsize too big (ssize: 12288, dsize: 8192)"},
  };
  for (const auto& c : kCases) {
    for (uint32_t options : {kScanChecker | kScanReportBroken, kScanChecker}) {
      test::AnalysedPe pe = AnalysePe(c.bytes, options);
      SCOPED_TRACE(c.label);
      EXPECT_EQ(pe.result, 1);
      EXPECT_EQ(pe.scanner->ErrorText(), c.error);
      EXPECT_EQ(pe.context.Name, "");  // the checker's name then begins with " ("
      EXPECT_TRUE(pe.scanner->UpxLayout());
    }
  }
}

TEST(PEScannerEx, UpackWithItsOptionalHeaderSize) {
  auto upack = [](const std::string& code) {
    PeBuilder b;
    b.size_of_optional_header = 0x148;
    test::PeSection third;
    third.name = ".rsrc";
    third.data = std::string(0x100, 'r');
    b.sections.push_back(third);
    b.entry_point_bytes = code;
    return b.Build();
  };
  const std::string pointer_above = LE32(kImageBase + 0x2000);
  const struct {
    const char* label;
    std::string code;
  } kCases[] = {
      {"BE .. AD 50", "\xBE" + pointer_above + "\xAD\x50"},
      {"BE .. FF 36", "\xBE" + pointer_above + "\xFF\x36"},
      // The header size alone already names the packer.
      {"other code", std::string("\x55\x8B\xEC\x90\x90\x90\x90", 7)},
  };
  for (const auto& c : kCases) {
    test::AnalysedPe pe = AnalysePe(upack(c.code));
    EXPECT_EQ(pe.result, 1) << c.label << ": " << pe.scanner->ErrorText();
    EXPECT_EQ(pe.scanner->PackerKind(), kPackerUpack) << c.label;
    EXPECT_FALSE(pe.scanner->UpxLayout()) << c.label;
  }
  // A text file cannot carry the header size.
  EXPECT_EQ(AnalysePe("plain text").scanner->PackerKind(), kPackerNone);
}

TEST(PEScannerEx, UpackWithTwoSectionsNeedsItsEntryCode) {
  const struct {
    const char* label;
    std::string code;
    uint8_t kind;
  } kCases[] = {
      {"pushad call +9", std::string("\x60\xE8\x09\x00\x00\x00", 6), kPackerUpack},
      {"pushad call +8", std::string("\x60\xE8\x08\x00\x00\x00", 6), kPackerNone},
      {"load below the sections", "\xBE" + LE32(kImageBase + 0x100) + "\xAD\x8B\xF8", kPackerUpack},
      {"load inside the sections", "\xBE" + LE32(kImageBase + 0x5000) + "\xAD\x8B\xF8", kPackerNone},
      {"load of the image base itself", "\xBE" + LE32(kImageBase) + "\xAD\x8B\xF8", kPackerNone},
  };
  for (const auto& c : kCases) {
    std::string code = c.code;
    code.resize(0x80, '\x90');
    test::AnalysedPe pe = AnalysePe(UpxLike(code).Build());
    EXPECT_EQ(pe.result, 1) << c.label;
    EXPECT_TRUE(pe.scanner->UpxLayout()) << c.label;
    EXPECT_EQ(pe.scanner->PackerKind(), c.kind) << c.label;
  }
}

TEST(PEScannerEx, FailedAnalysisHasNoLayout) {
  for (const std::string& bytes : {std::string(), std::string("MZ"), test::NeProgramBuilder().Build()}) {
    test::AnalysedPe pe = AnalysePe(bytes);
    EXPECT_FALSE(pe.scanner->UpxLayout());
    EXPECT_EQ(pe.scanner->PackerKind(), kPackerNone);
  }
}

}  // namespace
}  // namespace vermilax
