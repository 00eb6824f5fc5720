// The test PE writer itself: its resource tree must be one a Windows loader would walk.
#include "support/pe_writer.h"

#include <gtest/gtest.h>

#include "engine/little_endian.h"
#include "support/pe_analysis.h"

namespace vermilax {
namespace {

using test::PeBuilder;

// A minimal independent walk of a resource directory held in `rsrc`.
struct ResourceTree {
  std::string_view rsrc;
  uint32_t rva;

  uint32_t U32(size_t at) const { return LoadU32LE(reinterpret_cast<const uint8_t*>(rsrc.data()) + at); }
  uint16_t U16(size_t at) const { return LoadU16LE(reinterpret_cast<const uint8_t*>(rsrc.data()) + at); }

  // The entries of a directory as (key, target) words; the key text for named entries.
  std::vector<std::pair<std::string, uint32_t>> Entries(size_t dir) const {
    std::vector<std::pair<std::string, uint32_t>> entries;
    const size_t count = size_t(U16(dir + 12)) + U16(dir + 14);
    for (size_t i = 0; i < count; ++i) {
      const size_t e = dir + 16 + 8 * i;
      const uint32_t key = U32(e);
      std::string text;
      if (key & 0x80000000u) {
        const size_t at = key & 0x7FFFFFFF;
        for (size_t c = 0; c < U16(at); ++c) text += char(U16(at + 2 + 2 * c));
      } else {
        text = "#";
        text += std::to_string(key);
      }
      entries.push_back({text, U32(e + 4)});
    }
    return entries;
  }
  std::string_view Data(uint32_t target) const {
    EXPECT_FALSE(target & 0x80000000u);
    return rsrc.substr(U32(target) - rva, U32(target + 4));
  }
};

TEST(PeWriter, ResourceTreeHasNamedEntriesFirstAndDataAtItsAddresses) {
  PeBuilder builder;
  AddIconGroup(builder, "ICON-IMAGE-BYTES", 7, 2);
  builder.resources.push_back({std::string("CONFIG"), std::string("MAIN"), 0, "config text"});
  builder.resources.push_back({uint32_t(16), uint32_t(1), 0x407, "version de"});
  builder.resources.push_back({uint32_t(16), uint32_t(1), 0x409, "version en"});
  test::BuiltPe built = builder.BuildWithLayout();

  test::AnalysedPe pe = test::AnalysePe(built.bytes);
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  const uint32_t rva = pe.scanner->DataDirectoryRva(2);
  ASSERT_EQ(rva, built.sections.back().virtual_address);  // the section starts at the directory
  const size_t index = pe.scanner->Sections().size() - 1;
  ResourceTree tree{pe.scanner->SectionData(index), rva};

  auto types = tree.Entries(0);
  ASSERT_EQ(types.size(), 4u);
  EXPECT_EQ(types[0].first, "CONFIG");
  EXPECT_EQ(types[1].first, "#3");
  EXPECT_EQ(types[2].first, "#14");
  EXPECT_EQ(types[3].first, "#16");
  for (const auto& type : types) EXPECT_TRUE(type.second & 0x80000000u);

  auto icon = tree.Entries(types[1].second & 0x7FFFFFFF);
  ASSERT_EQ(icon.size(), 1u);
  EXPECT_EQ(icon[0].first, "#2");
  auto icon_language = tree.Entries(icon[0].second & 0x7FFFFFFF);
  ASSERT_EQ(icon_language.size(), 1u);
  EXPECT_EQ(icon_language[0].first, "#1033");
  EXPECT_EQ(tree.Data(icon_language[0].second), "ICON-IMAGE-BYTES");

  auto group = tree.Entries(types[2].second & 0x7FFFFFFF);
  ASSERT_EQ(group[0].first, "#7");
  std::string_view group_data = tree.Data(tree.Entries(group[0].second & 0x7FFFFFFF)[0].second);
  ASSERT_EQ(group_data.size(), 20u);
  const uint8_t* g = reinterpret_cast<const uint8_t*>(group_data.data());
  EXPECT_EQ(LoadU16LE(g + 2), 1);     // icons
  EXPECT_EQ(LoadU16LE(g + 4), 1);     // one entry
  EXPECT_EQ(LoadU32LE(g + 14), 16u);  // its size
  EXPECT_EQ(LoadU16LE(g + 18), 2);    // its icon id

  auto config = tree.Entries(types[0].second & 0x7FFFFFFF);
  ASSERT_EQ(config[0].first, "MAIN");
  EXPECT_EQ(tree.Data(tree.Entries(config[0].second & 0x7FFFFFFF)[0].second), "config text");

  auto versions = tree.Entries(tree.Entries(types[3].second & 0x7FFFFFFF)[0].second & 0x7FFFFFFF);
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_EQ(versions[0].first, "#1031");
  EXPECT_EQ(tree.Data(versions[1].second), "version en");
}

TEST(PeWriter, DefaultIsAValidMinimalProgram) {
  test::BuiltPe built = PeBuilder().BuildWithLayout();
  EXPECT_EQ(built.bytes.size(), 0x600u);
  EXPECT_EQ(built.size_of_headers, 0x200u);
  ASSERT_EQ(built.sections.size(), 2u);
  EXPECT_EQ(built.sections[0].virtual_address, 0x1000u);
  EXPECT_EQ(built.sections[1].virtual_address, 0x2000u);
  EXPECT_EQ(built.entry_point, 0x1000u);
  EXPECT_EQ(built.bytes.substr(0, 2), "MZ");
  test::AnalysedPe pe = test::AnalysePe(built.bytes);
  EXPECT_EQ(pe.result, 1);
  EXPECT_EQ(pe.scanner->ErrorText(), "");
}

}  // namespace
}  // namespace vermilax
