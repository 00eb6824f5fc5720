#include "engine/signature_archive.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/zip_reader.h"
#include "engine/zip_writer.h"
#include "env/text_utils.h"
#include "platform/files.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

using Lines = std::vector<std::string>;
using test::BuildZip;
using test::Scramble;
using test::TempDir;

class SignatureArchiveTest : public ::testing::Test {
 protected:
  // Reads `bytes` as an archive file; `lines` and `version` start stale so
  // that clearing and keeping are both visible.
  void ReadBytes(const std::string& bytes) {
    test::WriteBytes(path_, bytes);
    lines_ = {"stale"};
    ReadSignatureArchive(path_, lines_, version_);
  }

  TempDir dir_;
  const std::string path_ = dir_.File("md.c");
  Lines lines_;
  std::string version_ = "previous";
};

TEST_F(SignatureArchiveTest, SplitsDbTextAtEveryKindOfLineEnd) {
  const struct {
    const char* what;
    std::string db;
    Lines expected;
  } kCases[] = {
      {"CR LF", "a:1\r\nb:2\r\n", {"a:1", "b:2"}},
      {"LF only", "a:1\nb:2\n", {"a:1", "b:2"}},
      {"CR only", "a:1\rb:2\r", {"a:1", "b:2"}},
      {"no final line end", "a:1\r\nb:2", {"a:1", "b:2"}},
      {"empty line inside", "a\r\n\r\nb", {"a", "", "b"}},
      {"LF then CR is two line ends", "a\n\rb", {"a", "", "b"}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"only a line end", "\r\n", {""}},
      {"blanks are kept", " x \t", {" x \t"}},
      {"NUL bytes are text", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
  };
  for (const auto& c : kCases) {
    for (bool deflate : {true, false}) {
      ReadBytes(BuildSignatureArchive(c.db, "v1", deflate));
      EXPECT_EQ(lines_, c.expected) << c.what << (deflate ? " (deflated)" : " (stored)");
      EXPECT_EQ(version_, "v1") << c.what;
    }
  }
}

TEST_F(SignatureArchiveTest, EmptyDbYieldsNoLinesButStoresVersion) {
  ReadBytes(BuildSignatureArchive("", "2009-07-18"));
  EXPECT_TRUE(lines_.empty());
  EXPECT_EQ(version_, "2009-07-18");
}

TEST_F(SignatureArchiveTest, UnreadableArchivesLeaveNoLinesAndVersionUnchanged) {
  std::string encrypted = BuildZip({{"DB", "a\r\n"}, {"ver", "9"}});
  encrypted[6] |= 1;  // local header flags
  const size_t central = ReadUInt32LE(encrypted.data() + encrypted.size() - 22 + 16);
  encrypted[central + 8] |= 1;  // central record flags
  std::string damaged = BuildZip({{"DB", "abcdefgh\r\n", 0}, {"ver", "9", 0}});
  damaged[33] ^= 0x20;  // a byte of the stored "DB" text: checksum mismatch

  const struct {
    const char* what;
    std::string bytes;
  } kCases[] = {
      {"plain unscrambled ZIP", BuildZip({{"DB", "a\r\n"}, {"ver", "9"}})},
      {"DB without ver", Scramble(BuildZip({{"DB", "a\r\n"}}))},
      {"ver without DB", Scramble(BuildZip({{"ver", "9"}}))},
      {"encrypted entries", Scramble(encrypted)},
      {"damaged DB entry", Scramble(damaged)},
      {"empty file", ""},
      {"random bytes", std::string(1000, '\x5A')},
      {"truncated archive", BuildSignatureArchive("a\r\nb\r\n", "9").substr(0, 40)},
  };
  for (const auto& c : kCases) {
    ReadBytes(c.bytes);
    EXPECT_TRUE(lines_.empty()) << c.what;
    EXPECT_EQ(version_, "previous") << c.what;
  }
}

TEST_F(SignatureArchiveTest, MissingFileOrFolderIsAnEmptySet) {
  for (const std::string& path : {dir_.File("absent.c"), dir_.path()}) {
    lines_ = {"stale"};
    ReadSignatureArchive(path, lines_, version_);
    EXPECT_TRUE(lines_.empty()) << path;
    EXPECT_EQ(version_, "previous") << path;
  }
}

TEST_F(SignatureArchiveTest, EntryNamesIgnoreCaseAndOtherEntriesAreIgnored) {
  ReadBytes(Scramble(BuildZip({{"readme", "x"}, {"db", "r1\r\nr2"}, {"VER", "3"}, {"extra", "y"}})));
  EXPECT_EQ(lines_, (Lines{"r1", "r2"}));
  EXPECT_EQ(version_, "3");
}

TEST_F(SignatureArchiveTest, RepeatedReadsAgreeAndLeaveNoTemporaryFile) {
  TempDir temp;
  test::TempFolderRedirect redirect(temp.path());
  ASSERT_EQ(platform::TempFolder().substr(0, temp.path().size()), temp.path());
  test::WriteBytes(path_, BuildSignatureArchive("a:1\r\nb:2\r\n", "v"));
  Lines first, second;
  ReadSignatureArchive(path_, first, version_);
  ReadSignatureArchive(path_, second, version_);
  ReadSignatureArchive(dir_.File("absent.c"), second, version_);
  ReadSignatureArchive(path_, second, version_);
  EXPECT_EQ(first, (Lines{"a:1", "b:2"}));
  EXPECT_EQ(first, second);
  EXPECT_EQ(test::CountEntries(temp.path()), 0u);
  EXPECT_EQ(test::CountEntries(dir_.path()), 1u);
}

TEST(SignatureArchive, ScramblingIsItsOwnInverse) {
  const std::string scrambled = BuildSignatureArchive("x:1\r\n", "v");
  const std::string plain = XorString(scrambled, kArchiveKey);
  ZipReader reader;
  EXPECT_TRUE(reader.Open(plain));
  EXPECT_FALSE(reader.Open(scrambled));
  EXPECT_EQ(XorString(plain, kArchiveKey), scrambled);
}

TEST_F(SignatureArchiveTest, EntriesAreDeliveredByteForByte) {
  const std::string db = std::string("a\r\nb\rc\n\0\xFF", 10);
  ReadBytes(BuildSignatureArchive(db, "v\r\n"));
  std::string gotDb, gotVersion;
  ASSERT_TRUE(ReadSignatureArchiveEntries(path_, gotDb, gotVersion));
  EXPECT_EQ(gotDb, db);
  EXPECT_EQ(gotVersion, "v\r\n");
  gotDb = "kept";
  EXPECT_FALSE(ReadSignatureArchiveEntries(dir_.File("absent.c"), gotDb, gotVersion));
  EXPECT_EQ(gotDb, "kept");
}

TEST_F(SignatureArchiveTest, TextsBeyondTheLimitAreNeitherWrittenNorRead) {
  // A tiny deflated file must not expand into an unbounded number of lines.
  const std::string huge(size_t(kMaxArchiveTextSize) + 1, '\n');
  EXPECT_THROW(BuildSignatureArchive(huge, "v"), std::length_error);
  EXPECT_FALSE(WriteSignatureArchive(path_, huge, "v"));
  EXPECT_EQ(test::CountEntries(dir_.path()), 0u);

  ZipWriter zip;
  ASSERT_TRUE(zip.AddEntry(kArchiveDbEntry, huge, 9));
  ASSERT_TRUE(zip.AddEntry(kArchiveVersionEntry, "v", 1));
  const std::string bytes = Scramble(zip.Finish());
  ASSERT_LT(bytes.size(), huge.size() / 500);
  ReadBytes(bytes);
  EXPECT_TRUE(lines_.empty());
  EXPECT_EQ(version_, "previous");
}

TEST_F(SignatureArchiveTest, WriteReplacesTargetAndLeavesNothingElse) {
  ASSERT_TRUE(WriteSignatureArchive(path_, "old\r\n", "1"));
  ASSERT_TRUE(WriteSignatureArchive(path_, "new1\r\nnew2\r\n", "2", false));
  ReadSignatureArchive(path_, lines_, version_);
  EXPECT_EQ(lines_, (Lines{"new1", "new2"}));
  EXPECT_EQ(version_, "2");
  EXPECT_EQ(test::CountEntries(dir_.path()), 1u);
}

TEST_F(SignatureArchiveTest, WriteIntoMissingFolderFailsWithoutLeavingFiles) {
  const std::string target = dir_.File("no-such-folder") + platform::PathSeparator() + "x.c";
  EXPECT_FALSE(WriteSignatureArchive(target, "a", "1"));
  EXPECT_EQ(test::CountEntries(dir_.path()), 0u);
}

TEST_F(SignatureArchiveTest, ExistingTargetSurvivesFailedWrite) {
  // A folder in the target's place cannot be replaced by a file.
  ASSERT_TRUE(platform::CreateFolder(path_));
  EXPECT_FALSE(WriteSignatureArchive(path_, "a", "1"));
  EXPECT_TRUE(platform::FolderExists(path_));
  EXPECT_EQ(test::CountEntries(dir_.path()), 1u);
}

}  // namespace
}  // namespace vermilax
