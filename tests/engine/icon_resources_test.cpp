// Icon digests of programs built by the PE writer with resource trees.
#include "engine/icon_resources.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/memory_file.h"
#include "support/archive_builder.h"
#include "support/pe_analysis.h"
#include "support/pe_writer.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

using test::IconGroupEntry;
using test::PeBuilder;
using test::ResourceKey;

std::string Image(size_t size, uint8_t seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char(uint8_t(seed + i * 31 + (i >> 8)));
  return bytes;
}

void AddIcon(PeBuilder& builder, uint32_t id, const std::string& image, uint16_t language = 0x409) {
  builder.resources.push_back({test::kResourceIcon, id, language, image});
}

void AddGroup(PeBuilder& builder, ResourceKey name, const std::vector<IconGroupEntry>& entries,
              uint16_t language = 0x409) {
  builder.resources.push_back({test::kResourceGroupIcon, std::move(name), language, test::IconGroupData(entries)});
}

IconGroupEntry Entry(uint16_t iconId, size_t bytesInRes) {
  IconGroupEntry entry;
  entry.icon_id = iconId;
  entry.bytes_in_res = uint32_t(bytesInRes);
  return entry;
}

std::optional<IconDigest> IconOf(const std::string& bytes) {
  return ComputeIconDigest(std::make_unique<MemoryFile>(bytes));
}

void ExpectIcon(const std::optional<IconDigest>& icon, const std::string& images) {
  ASSERT_TRUE(icon.has_value());
  EXPECT_EQ(DigestToHex(icon->digest), DigestToHex(MD5OfString(images)));
  EXPECT_EQ(icon->size, int32_t(images.size()));
}

// A program with resources in its own section whose tree starts `shift` bytes
// after the section's start; the resource directory points at the tree.
std::string ProgramWithShiftedResources(const std::vector<test::PeResource>& resources, uint32_t shift) {
  constexpr uint32_t kVa = 0x3000;
  PeBuilder builder;
  test::PeSection section;
  section.name = ".rsrc";
  section.data = std::string(shift, 'p') + test::ResourceSectionData(resources, kVa + shift);
  section.virtual_address = kVa;
  section.characteristics = 0x40000040;
  builder.sections.push_back(section);
  builder.data_directories[2] = {kVa + shift, uint32_t(section.data.size() - shift)};
  return builder.Build();
}

TEST(IconDigest, SingleIconIsTheMD5OfItsImage) {
  PeBuilder builder;
  const std::string image = Image(744, 1);
  test::AddIconGroup(builder, image);
  ExpectIcon(IconOf(builder.Build()), image);

  test::TempDir dir;
  ASSERT_TRUE(builder.WriteFile(dir.File("program.exe")));
  ExpectIcon(ComputeIconDigest(dir.File("program.exe")), image);
  EXPECT_FALSE(ComputeIconDigest(dir.File("missing.exe")).has_value());
}

TEST(IconDigest, MissingIconsAreSkipped) {
  const std::string first = Image(40, 1), third = Image(296, 3);
  PeBuilder builder;
  AddIcon(builder, 1, first);
  AddIcon(builder, 3, third);
  AddGroup(builder, uint32_t(1), {Entry(1, first.size()), Entry(2, 1128), Entry(3, third.size())});
  ExpectIcon(IconOf(builder.Build()), first + third);
}

TEST(IconDigest, ImageTakesBytesInResBytesAndIsSkippedWhenShorter) {
  const std::string image = Image(100, 7);
  struct Case {
    size_t bytesInRes;
    std::string expected;
  } cases[] = {{100, image}, {60, image.substr(0, 60)}, {0, ""}, {101, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytesInRes);
    PeBuilder builder;
    AddIcon(builder, 5, image);
    AddGroup(builder, uint32_t(1), {Entry(5, c.bytesInRes)});
    ExpectIcon(IconOf(builder.Build()), c.expected);
  }
}

TEST(IconDigest, OnlyImagesCountNotTheGroupHeaders) {
  const std::string small = Image(40, 1), large = Image(200, 2);
  auto program = [&](uint8_t colours, uint8_t width, bool swapped) {
    PeBuilder builder;
    AddIcon(builder, 1, small);
    AddIcon(builder, 2, large);
    std::vector<IconGroupEntry> entries = {Entry(1, small.size()), Entry(2, large.size())};
    for (IconGroupEntry& e : entries) {
      e.colour_count = colours;
      e.width = width;
    }
    if (swapped) std::swap(entries[0], entries[1]);
    AddGroup(builder, uint32_t(1), entries);
    return IconOf(builder.Build());
  };
  std::optional<IconDigest> plain = program(0, 32, false), otherHeaders = program(16, 48, false);
  ASSERT_TRUE(plain && otherHeaders);
  EXPECT_EQ(plain->digest, otherHeaders->digest);
  EXPECT_EQ(plain->size, otherHeaders->size);
  std::optional<IconDigest> swapped = program(0, 32, true);
  ExpectIcon(swapped, large + small);
  EXPECT_NE(swapped->digest, plain->digest);
}

TEST(IconDigest, SameIconNamedTwiceIsHashedTwice) {
  const std::string image = Image(64, 9);
  PeBuilder builder;
  AddIcon(builder, 1, image);
  AddGroup(builder, uint32_t(1), {Entry(1, 64), Entry(1, 64)});
  ExpectIcon(IconOf(builder.Build()), image + image);
}

TEST(IconDigest, FirstGroupIsTheFirstEntryOfTheGroupDirectory) {
  const std::string a = Image(50, 1), b = Image(60, 2), c = Image(70, 3);
  PeBuilder builder;
  AddIcon(builder, 1, a);
  AddIcon(builder, 2, b);
  AddIcon(builder, 3, c);
  AddGroup(builder, uint32_t(9), {Entry(1, a.size())});
  AddGroup(builder, uint32_t(4), {Entry(2, b.size())});
  ExpectIcon(IconOf(builder.Build()), b);  // IDs sorted ascending
  AddGroup(builder, std::string("MAINICON"), {Entry(3, c.size())});
  ExpectIcon(IconOf(builder.Build()), c);  // named entries come first
}

TEST(IconDigest, FirstLanguageOfGroupAndIconIsTaken) {
  const std::string german = Image(50, 1), english = Image(60, 2);
  PeBuilder builder;
  AddIcon(builder, 1, german, 0x407);
  AddIcon(builder, 1, english, 0x409);
  AddIcon(builder, 2, english, 0x409);
  AddGroup(builder, uint32_t(1), {Entry(2, english.size())}, 0x409);
  AddGroup(builder, uint32_t(1), {Entry(1, german.size())}, 0x407);
  ExpectIcon(IconOf(builder.Build()), german);
}

TEST(IconDigest, IconsAreLookedUpByIdNeverByName) {
  const std::string named = Image(50, 1), numbered = Image(60, 2);
  PeBuilder builder;
  builder.resources.push_back({test::kResourceIcon, std::string("#1"), 0x409, named});
  AddIcon(builder, 1, numbered);
  AddGroup(builder, uint32_t(1), {Entry(1, numbered.size())});
  ExpectIcon(IconOf(builder.Build()), numbered);
}

TEST(IconDigest, GroupWithoutImagesGivesTheDigestOfNothing) {
  PeBuilder empty;
  AddGroup(empty, uint32_t(1), {});
  ExpectIcon(IconOf(empty.Build()), "");
  PeBuilder allMissing;
  AddGroup(allMissing, uint32_t(1), {Entry(1, 10), Entry(2, 20)});
  ExpectIcon(IconOf(allMissing.Build()), "");
}

TEST(IconDigest, ResourcesMustStartExactlyAtTheResourceDirectory) {
  const std::string image = Image(90, 4);
  PeBuilder icons;
  test::AddIconGroup(icons, image);
  ExpectIcon(IconOf(ProgramWithShiftedResources(icons.resources, 0)), image);
  // A merged section: it starts before the directory, so no section starts at it.
  EXPECT_FALSE(IconOf(ProgramWithShiftedResources(icons.resources, 0x100)).has_value());
}

TEST(IconDigest, FilesWithoutAReadableIconGroupGiveNoDigest) {
  const std::string image = Image(48, 5);
  auto withIcon = [&](PeBuilder builder) {
    test::AddIconGroup(builder, image);
    return builder;
  };
  PeBuilder program = withIcon(PeBuilder());
  PeBuilder noIcons;
  PeBuilder otherResources;
  otherResources.resources.push_back({uint32_t(10), uint32_t(1), 0x409, "raw data"});
  AddIcon(otherResources, 1, image);
  PeBuilder zm = withIcon(PeBuilder());
  zm.dos_magic = "ZM";
  PeBuilder wide = withIcon(PeBuilder());
  wide.pe32plus = true;
  wide.machine = 0x8664;
  PeBuilder longOptionalHeader = withIcon(PeBuilder());  // the section table is looked for after 224 bytes
  longOptionalHeader.size_of_optional_header = 224 + 64;
  PeBuilder shortGroup;
  AddIcon(shortGroup, 1, image);
  std::string groupData = test::IconGroupData({Entry(1, image.size()), Entry(1, image.size())});
  groupData.resize(groupData.size() - 1);  // the count names one more entry than the data holds
  shortGroup.resources.push_back({test::kResourceGroupIcon, uint32_t(1), 0x409, groupData});
  test::BuiltPe built = program.BuildWithLayout();
  const std::string cutInSectionTable = built.bytes.substr(0, built.section_table_offset + 40 + 20);

  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"text file", "Just some text, long enough to hold a DOS header......................"},
      {"DOS program", withIcon(test::DosProgramBuilder()).Build()},
      {"NE program", withIcon(test::NeProgramBuilder()).Build()},
      {"ZM signature", zm.Build()},
      {"no resources", noIcons.Build()},
      {"icons but no group", otherResources.Build()},
      {"PE32+ header", wide.Build()},
      {"optional header longer than 224 bytes", longOptionalHeader.Build()},
      {"file cut inside the section table", cutInSectionTable},
      {"group shorter than its entries", shortGroup.Build()},
  };
  ExpectIcon(IconOf(program.Build()), image);
  for (const Case& c : cases) EXPECT_FALSE(IconOf(c.bytes).has_value()) << c.what;
}

TEST(IconDigest, ReadErrorGivesNoDigest) {
  const std::string image = Image(3000, 6);
  PeBuilder builder;
  test::AddIconGroup(builder, image);
  const std::string bytes = builder.Build();
  const size_t imageAt = bytes.find(image);
  ASSERT_NE(imageAt, std::string::npos);
  auto file = std::make_unique<test::FakeFile>(bytes);
  file->FailReadsFrom(imageAt + 2000).LimitEachRead(512);
  EXPECT_FALSE(ComputeIconDigest(std::move(file)).has_value());
  auto shortReads = std::make_unique<test::FakeFile>(bytes);
  shortReads->LimitEachRead(7);
  ExpectIcon(ComputeIconDigest(std::move(shortReads)), image);
}

// Counts the bytes read, to show that a large file is not read whole.
class CountingFile : public MemoryFile {
 public:
  CountingFile(std::string bytes, uint64_t& counter) : MemoryFile(std::move(bytes)), counter_(counter) {}
  int64_t Read(void* buffer, uint32_t count) override {
    int64_t n = MemoryFile::Read(buffer, count);
    if (n > 0) counter_ += uint64_t(n);
    return n;
  }

 private:
  uint64_t& counter_;
};

TEST(IconDigest, LargeResourcesAreNotReadWhole) {
  const std::string image = Image(1000, 8);
  PeBuilder builder;
  test::AddIconGroup(builder, image);
  builder.resources.push_back({uint32_t(10), uint32_t(1), 0x409, std::string(8 << 20, 'R')});  // after the icons
  builder.overlay = std::string(4 << 20, 'O');
  uint64_t bytesRead = 0;
  ExpectIcon(ComputeIconDigest(std::make_unique<CountingFile>(builder.Build(), bytesRead)), image);
  EXPECT_LT(bytesRead, 256u * 1024);
}

}  // namespace
}  // namespace vermilax
