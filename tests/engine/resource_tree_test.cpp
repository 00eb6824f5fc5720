// The resource tree reader on trees written by hand, including damaged ones a
// resource compiler would never produce.
#include "engine/resource_tree.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/icon_resources.h"
#include "engine/memory_file.h"
#include "support/pe_writer.h"

namespace vermilax {
namespace {

constexpr uint32_t kDir = 0x80000000u;  // entry target is a subdirectory; name word is a name offset
constexpr uint32_t kVa = 0x3000;        // where the hand-made resource section is placed

// Resource section bytes appended piece by piece; offsets are section offsets.
struct RawSection {
  std::string bytes;

  void Put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
  }
  uint32_t Append(const std::string& data) {
    while (bytes.size() % 4) bytes += '\0';
    const uint32_t at = uint32_t(bytes.size());
    bytes += data;
    return at;
  }
  uint32_t Directory(uint16_t named, uint16_t ids) {
    std::string header(16 + 8 * (named + ids), '\0');
    header[12] = char(named), header[13] = char(named >> 8);
    header[14] = char(ids), header[15] = char(ids >> 8);
    return Append(header);
  }
  void SetEntry(uint32_t directory, uint32_t index, uint32_t nameWord, uint32_t targetWord) {
    Put32(directory + 16 + 8 * index, nameWord);
    Put32(directory + 16 + 8 * index + 4, targetWord);
  }
  uint32_t Name(const std::string& ascii) {
    std::string raw(2 + 2 * ascii.size(), '\0');
    raw[0] = char(ascii.size());
    for (size_t i = 0; i < ascii.size(); ++i) raw[2 + 2 * i] = ascii[i];
    return kDir | Append(raw);
  }
  uint32_t DataEntry(uint32_t rva, uint32_t size) {
    const uint32_t at = Append(std::string(16, '\0'));
    Put32(at, rva);
    Put32(at + 4, size);
    return at;
  }
  // Data placed in the section, and the data entry pointing at it.
  uint32_t Data(const std::string& data) {
    const uint32_t at = Append(data);
    return DataEntry(kVa + at, uint32_t(data.size()));
  }
};

std::string Program(const RawSection& section) {
  test::PeBuilder builder;
  test::PeSection rsrc;
  rsrc.name = ".rsrc";
  rsrc.data = section.bytes;
  rsrc.virtual_address = kVa;
  builder.sections.push_back(rsrc);
  builder.data_directories[2] = {kVa, uint32_t(section.bytes.size())};
  return builder.Build();
}

std::unique_ptr<ResourceTree> Open(const std::string& bytes) {
  return ResourceTree::Open(std::make_unique<MemoryFile>(bytes));
}

std::optional<IconDigest> IconOf(const std::string& bytes) {
  return ComputeIconDigest(std::make_unique<MemoryFile>(bytes));
}

test::IconGroupEntry Entry(uint16_t iconId, size_t bytesInRes) {
  test::IconGroupEntry entry;
  entry.icon_id = iconId;
  entry.bytes_in_res = uint32_t(bytesInRes);
  return entry;
}

// root: [3 -> icons, 14 -> groups]; icons: [1 -> language 0x409 -> image];
// groups: [1 -> language 0x409 -> group naming icon 1].
struct SmallTree {
  RawSection raw;
  uint32_t root, icons, iconLanguages, groups, groupLanguages;
  uint32_t iconEntry, groupEntry;  // data entries
  std::string image;

  SmallTree() : image(80, 'I') {
    root = raw.Directory(0, 2);
    icons = raw.Directory(0, 1);
    iconLanguages = raw.Directory(0, 1);
    groups = raw.Directory(0, 1);
    groupLanguages = raw.Directory(0, 1);
    raw.SetEntry(root, 0, test::kResourceIcon, kDir | icons);
    raw.SetEntry(root, 1, test::kResourceGroupIcon, kDir | groups);
    raw.SetEntry(icons, 0, 1, kDir | iconLanguages);
    raw.SetEntry(groups, 0, 1, kDir | groupLanguages);
    iconEntry = raw.Data(image);
    groupEntry = raw.Data(test::IconGroupData({Entry(1, image.size())}));
    raw.SetEntry(iconLanguages, 0, 0x409, iconEntry);
    raw.SetEntry(groupLanguages, 0, 0x409, groupEntry);
  }
};

TEST(ResourceTree, HandMadeTreeGivesTheIcon) {
  SmallTree tree;
  std::optional<IconDigest> icon = IconOf(Program(tree.raw));
  ASSERT_TRUE(icon.has_value());
  EXPECT_EQ(icon->digest, MD5OfString(tree.image));
  EXPECT_EQ(icon->size, 80);
}

TEST(ResourceTree, DamagedStructuresMakeTheTreeUnreadable) {
  struct Case {
    const char* what;
    void (*damage)(SmallTree&);
  } cases[] = {
      {"subdirectory outside the section",
       [](SmallTree& t) { t.raw.SetEntry(t.root, 0, test::kResourceIcon, kDir | 0x7FFFFFF0u); }},
      {"data entry outside the section", [](SmallTree& t) { t.raw.SetEntry(t.iconLanguages, 0, 0x409, 0x10000); }},
      {"name outside the section", [](SmallTree& t) { t.raw.SetEntry(t.icons, 0, kDir | 0x10000, kDir | t.iconLanguages); }},
      {"name running past the section",
       [](SmallTree& t) {
         const uint32_t name = t.raw.Name("x");
         t.raw.bytes[name & ~kDir] = char(0xFF);
         t.raw.SetEntry(t.icons, 0, name, kDir | t.iconLanguages);
       }},
      {"entries running past the section", [](SmallTree& t) { t.raw.bytes[t.groupLanguages + 14] = 0x7F; }},
      {"entry counts beyond the section", [](SmallTree& t) { t.raw.Put32(t.root + 12, 0xFFFFFFFFu); }},
  };
  for (const Case& c : cases) {
    SmallTree tree;
    c.damage(tree);
    const std::string bytes = Program(tree.raw);
    EXPECT_EQ(Open(bytes), nullptr) << c.what;
    EXPECT_FALSE(IconOf(bytes).has_value()) << c.what;
  }
}

// Every directory entry leads back to the root: each level reads it again.
TEST(ResourceTree, DirectoryLeadingBackToTheRootEnds) {
  RawSection raw;
  const uint32_t root = raw.Directory(0, 2);
  raw.SetEntry(root, 0, test::kResourceIcon, kDir | root);
  raw.SetEntry(root, 1, test::kResourceGroupIcon, kDir | root);
  raw.Append(std::string(64, '\0'));  // room for the entries read at three levels
  std::unique_ptr<ResourceTree> tree = Open(Program(raw));
  ASSERT_NE(tree, nullptr);
  EXPECT_FALSE(tree->FindFirstGroupIcon().has_value());  // the language level holds only directories
  EXPECT_FALSE(tree->FindResourceData(test::kResourceIcon, test::kResourceGroupIcon).has_value());
}

// Directories shared between many entries would expand into more entries than
// the section holds: the tree counts as damaged instead of being walked.
TEST(ResourceTree, SharedDirectoriesCannotMultiplyTheWork) {
  RawSection raw;
  constexpr uint16_t kWide = 200;
  const uint32_t root = raw.Directory(0, kWide);
  const uint32_t middle = raw.Directory(0, kWide);
  const uint32_t leaves = raw.Directory(0, kWide);
  const uint32_t data = raw.Data("x");
  for (uint32_t i = 0; i < kWide; ++i) {
    raw.SetEntry(root, i, i, kDir | middle);
    raw.SetEntry(middle, i, i, kDir | leaves);
    raw.SetEntry(leaves, i, i, data);
  }
  EXPECT_EQ(Open(Program(raw)), nullptr);
}

TEST(ResourceTree, LookupsTakeFirstMatchingEntriesOnly) {
  RawSection raw;
  const uint32_t root = raw.Directory(1, 3);
  const uint32_t named = raw.Directory(0, 1), icons = raw.Directory(1, 4), laterIcons = raw.Directory(0, 1);
  const uint32_t languages = raw.Directory(0, 3), onlyDirectories = raw.Directory(0, 1), other = raw.Directory(0, 1);
  const uint32_t a = raw.Data("A"), b = raw.Data("BB"), c = raw.Data("CCC");
  raw.SetEntry(root, 0, raw.Name("ICONS"), kDir | named);  // named type: never a type ID
  raw.SetEntry(root, 1, 1, a);                            // a type leading straight to data
  raw.SetEntry(root, 2, test::kResourceIcon, kDir | icons);
  raw.SetEntry(root, 3, test::kResourceIcon, kDir | laterIcons);  // a second directory of the type: unused
  raw.SetEntry(named, 0, 7, kDir | other);
  raw.SetEntry(icons, 0, raw.Name("SEVEN"), kDir | other);
  raw.SetEntry(icons, 1, 5, c);                             // ID entry with data: not a directory
  raw.SetEntry(icons, 2, 5, kDir | languages);              // first directory with ID 5
  raw.SetEntry(icons, 3, 6, kDir | onlyDirectories);        // decides ID 6: no language
  raw.SetEntry(icons, 4, 6, kDir | other);
  raw.SetEntry(laterIcons, 0, 8, kDir | other);
  raw.SetEntry(languages, 0, 0x407, kDir | other);          // a directory at the language level
  raw.SetEntry(languages, 1, 0x409, b);
  raw.SetEntry(languages, 2, 0x40C, c);
  raw.SetEntry(onlyDirectories, 0, 0x409, kDir | other);
  raw.SetEntry(other, 0, 0, a);
  std::unique_ptr<ResourceTree> tree = Open(Program(raw));
  ASSERT_NE(tree, nullptr);

  std::optional<ResourceData> five = tree->FindResourceData(test::kResourceIcon, 5);
  ASSERT_TRUE(five.has_value());
  EXPECT_EQ(five->Size, 2u);
  for (uint32_t id : {6u, 7u, 8u, 0u}) EXPECT_FALSE(tree->FindResourceData(test::kResourceIcon, id)) << id;
  EXPECT_FALSE(tree->FindResourceData(1, 0).has_value());

  // The one-pass lookup answers as the single lookups do, duplicates included.
  const std::vector<uint32_t> ids = {8, 5, 6, 5, 7, 0, 65535};
  const std::vector<std::optional<ResourceData>> many = tree->FindResourceData(test::kResourceIcon, ids);
  ASSERT_EQ(many.size(), ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    std::optional<ResourceData> one = tree->FindResourceData(test::kResourceIcon, ids[i]);
    ASSERT_EQ(many[i].has_value(), one.has_value()) << ids[i];
    if (one) {
      EXPECT_EQ(many[i]->Offset, one->Offset) << ids[i];
    }
  }
}

TEST(ResourceTree, GroupIsTheFirstEntryWhateverItIs) {
  SmallTree tree;
  // A data entry placed first in the group directory: it has no languages, and
  // the sound group after it is not considered.
  const uint32_t groups = tree.raw.Directory(0, 2);
  tree.raw.SetEntry(groups, 0, 1, tree.groupEntry);
  tree.raw.SetEntry(groups, 1, 2, kDir | tree.groupLanguages);
  tree.raw.SetEntry(tree.root, 1, test::kResourceGroupIcon, kDir | groups);
  std::unique_ptr<ResourceTree> opened = Open(Program(tree.raw));
  ASSERT_NE(opened, nullptr);
  EXPECT_FALSE(opened->FindFirstGroupIcon().has_value());
}

TEST(ResourceTree, DataIsCutToWhatTheFileHolds) {
  struct Case {
    const char* what;
    std::optional<uint32_t> rva;  // none: the image's own address
    uint32_t size;
    bool empty;               // no bytes of the resource are in the file
    int32_t expectedIconSize;  // the icon (80 bytes named by the group) is skipped when it cannot be read
  } cases[] = {
      {"starts beyond the end of the file", 0x7FFF0000u, 80, true, 0},
      {"starts before the start of the file", 0x100, 80, true, 0},
      {"declared far past the end of the file", std::nullopt, 0x7FFFFFFF, false, 80},
  };
  for (const Case& c : cases) {
    SmallTree tree;
    if (c.rva) tree.raw.Put32(tree.iconEntry, *c.rva);
    tree.raw.Put32(tree.iconEntry + 4, c.size);
    const std::string bytes = Program(tree.raw);
    std::unique_ptr<ResourceTree> opened = Open(bytes);
    ASSERT_NE(opened, nullptr) << c.what;
    std::optional<ResourceData> icon = opened->FindResourceData(test::kResourceIcon, 1);
    ASSERT_TRUE(icon.has_value()) << c.what;
    if (c.empty) {
      EXPECT_EQ(icon->Size, 0u) << c.what;
    } else {
      EXPECT_EQ(icon->Offset + icon->Size, bytes.size()) << c.what;
    }
    std::optional<IconDigest> digest = IconOf(bytes);
    ASSERT_TRUE(digest.has_value()) << c.what;
    EXPECT_EQ(digest->size, c.expectedIconSize) << c.what;
  }
}

TEST(ResourceTree, ReadDataStaysInsideTheResource) {
  SmallTree tree;
  std::unique_ptr<ResourceTree> opened = Open(Program(tree.raw));
  ASSERT_NE(opened, nullptr);
  std::optional<ResourceData> icon = opened->FindResourceData(test::kResourceIcon, 1);
  ASSERT_TRUE(icon.has_value());
  char buffer[81] = {};
  EXPECT_TRUE(opened->ReadData(*icon, 0, 80, buffer));
  EXPECT_EQ(std::string(buffer, 80), tree.image);
  EXPECT_TRUE(opened->ReadData(*icon, 80, 0, buffer));
  EXPECT_FALSE(opened->ReadData(*icon, 1, 80, buffer));
  EXPECT_FALSE(opened->ReadData(*icon, 81, 0, buffer));
  EXPECT_FALSE(opened->ReadData(*icon, UINT64_MAX, 1, buffer));
}

}  // namespace
}  // namespace vermilax
