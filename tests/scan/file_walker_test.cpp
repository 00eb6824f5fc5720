#include "scan/file_walker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>

#include "platform/files.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vermilax {
namespace {

using platform::FolderEntry;

constexpr uint32_t kDir = platform::kAttrDirectory;
constexpr uint32_t kHidden = platform::kAttrHidden;
constexpr uint32_t kSystem = platform::kAttrSystem;

// A file system in memory: folders (by path, "\" separated) with their entries
// in listing order, and folders whose listing fails with a given code. A folder
// that is in neither does not exist (path not found).
struct FakeFileSystem {
  std::map<std::string, std::vector<FolderEntry>> folders;
  std::map<std::string, uint32_t> failures;
  std::vector<std::string> listed;
  int open_listings = 0;

  uint32_t List(const std::string& folder, const std::function<bool(const FolderEntry&)>& visit) {
    listed.push_back(folder);
    if (auto failure = failures.find(folder); failure != failures.end()) return failure->second;
    auto found = folders.find(folder);
    if (found == folders.end()) return platform::kErrorPathNotFound;
    ++open_listings;
    for (const FolderEntry& entry : found->second) {
      if (!visit(entry)) break;
    }
    --open_listings;
    return found->second.empty() ? platform::kErrorFileNotFound : platform::kErrorSuccess;
  }

  FileWalker Walker() {
    return FileWalker([this](const std::string& f, const auto& visit) { return List(f, visit); }, {}, '\\');
  }
};

// What a walk reported, in order: "D <folder>" and "F <file>".
struct Recorder {
  std::vector<std::string> events;
  void Attach(FileWalker& walker, int abort_at_file = 0) {
    walker.SetOnFolder([this](const std::string& path) { events.push_back("D " + path); });
    walker.SetOnFile([this, abort_at_file](const std::string& path) {
      events.push_back("F " + path);
      return ++files == abort_at_file ? WalkAction::Abort : WalkAction::Continue;
    });
  }
  int files = 0;
};

TEST(FileWalker, ReportsEntriesInListingOrderThenWalksSubfoldersDepthFirst) {
  FakeFileSystem fs;
  fs.folders["R"] = {{"b.EXE"}, {"sub1", kDir}, {"a.txt"}, {".", kDir}, {"..", kDir}, {"sub2", kDir}, {"c.dll"}};
  fs.folders["R\\sub1"] = {{"x.sys"}, {"deeper", kDir}};
  fs.folders["R\\sub1\\deeper"] = {{"y.ocx"}};
  fs.folders["R\\sub2"] = {{"z.wtl"}, {"tool.exe", kDir}};  // a folder is never a file
  fs.folders["R\\sub2\\tool.exe"] = {};
  FileWalker walker = fs.Walker();
  Recorder recorder;
  recorder.Attach(walker);
  walker.SetRoots("R");
  EXPECT_EQ(walker.Walk(), WalkOutcome::Completed);
  const std::vector<std::string> expected = {
      "F R\\b.EXE",           "D R\\sub1",   "D R\\sub2",       "F R\\c.dll",
      "F R\\sub1\\x.sys",     "D R\\sub1\\deeper", "F R\\sub1\\deeper\\y.ocx",
      "F R\\sub2\\z.wtl",     "D R\\sub2\\tool.exe",
  };
  EXPECT_EQ(recorder.events, expected);
}

TEST(FileWalker, WalksEveryRootInOrderAndJoinsWithoutDoubleSeparators) {
  FakeFileSystem fs;
  fs.folders["C:\\"] = {{"boot.sys"}};
  fs.folders["D:\\data"] = {{"a.exe"}};
  FileWalker walker = fs.Walker();
  Recorder recorder;
  recorder.Attach(walker);
  walker.SetRoots(";D:\\data;;C:\\;");  // empty pieces name no folder
  EXPECT_EQ(walker.Walk(), WalkOutcome::Completed);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"F D:\\data\\a.exe", "F C:\\boot.sys"}));
  EXPECT_EQ(fs.listed, (std::vector<std::string>{"D:\\data", "C:\\"}));
}

TEST(FileWalker, SkipsHiddenSystemFoldersButNotHiddenSystemFiles) {
  FakeFileSystem fs;
  fs.folders["R"] = {{"both", kDir | kHidden | kSystem},
                     {"hidden", kDir | kHidden},
                     {"system", kDir | kSystem},
                     {"secret.dll", kHidden | kSystem}};
  fs.folders["R\\both"] = {{"never.exe"}};
  fs.folders["R\\hidden"] = {{"h.exe"}};
  fs.folders["R\\system"] = {{"s.exe"}};
  FileWalker walker = fs.Walker();
  Recorder recorder;
  recorder.Attach(walker);
  walker.SetRoots("R");
  EXPECT_EQ(walker.Walk(), WalkOutcome::Completed);
  const std::vector<std::string> expected = {"D R\\hidden", "D R\\system", "F R\\secret.dll", "F R\\hidden\\h.exe",
                                             "F R\\system\\s.exe"};
  EXPECT_EQ(recorder.events, expected);
}

TEST(FileWalker, MatchesTheScanMasksWithoutRegardToCase) {
  FileWalker walker = FakeFileSystem().Walker();
  const struct {
    const char* name;
    bool match;
  } kCases[] = {
      {"a.exe", true},       {"SETUP.EXE", true}, {"lib.Dll", true},   {".exe", true},       {"x.ocx", true},
      {"x.scr", true},       {"x.cpl", true},     {"x.msi", true},     {"x.drv", true},      {"x.sys", true},
      {"x.vxd", true},       {"x.wtl", true},     {"a.exe.txt", false}, {"exe", false},      {"a.ex", false},
      {"a.exe ", false},     {"a.com", false},    {"a.exe.dll", true}, {"", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(walker.MatchesAnyMask(c.name), c.match) << c.name;
  walker.SetMasks("*.TXT;;read?e.*");
  EXPECT_TRUE(walker.MatchesAnyMask("notes.txt"));
  EXPECT_TRUE(walker.MatchesAnyMask("README.md"));
  EXPECT_FALSE(walker.MatchesAnyMask("a.exe"));
}

TEST(MatchesWildcard, HandlesStarsAndQuestionMarks) {
  const struct {
    const char* mask;
    const char* name;
    bool match;
  } kCases[] = {
      {"*", "", true},          {"*", "anything", true}, {"", "", true},         {"", "a", false},
      {"?", "", false},         {"?", "a", true},        {"a*b*c", "aXbYc", true}, {"a*b*c", "abcb", false},
      {"*.exe", "a.b.exe", true}, {"**.exe", "a.exe", true}, {"*a", "baaa", true}, {"a?c", "abbc", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(MatchesWildcard(c.mask, c.name), c.match) << c.mask << " " << c.name;
}

TEST(FileWalker, ListingFailuresEitherEmptyAFolderOrEndTheWalk) {
  const struct {
    const char* label;
    std::string failing;  // folder whose listing fails
    uint32_t code;
    WalkOutcome outcome;
    bool second_root_walked;
  } kCases[] = {
      {"subfolder not found", "R1\\sub", platform::kErrorFileNotFound, WalkOutcome::Completed, true},
      {"subfolder access denied", "R1\\sub", platform::kErrorAccessDenied, WalkOutcome::Completed, true},
      {"subfolder vanished", "R1\\sub", platform::kErrorPathNotFound, WalkOutcome::Completed, true},
      {"subfolder path too long", "R1\\sub", platform::kErrorFilenameExcedRange, WalkOutcome::Completed, true},
      {"subfolder other error", "R1\\sub", platform::kErrorNotEnoughMemory, WalkOutcome::Failed, false},
      {"root access denied", "R1", platform::kErrorAccessDenied, WalkOutcome::Completed, true},
      {"root missing", "R1", platform::kErrorPathNotFound, WalkOutcome::Failed, false},
  };
  for (const auto& c : kCases) {
    FakeFileSystem fs;
    fs.folders["R1"] = {{"sub", kDir}, {"after", kDir}};
    fs.folders["R1\\sub"] = {{"in.exe"}};
    fs.folders["R1\\after"] = {{"later.exe"}};
    fs.folders["R2"] = {{"two.exe"}};
    fs.failures[c.failing] = c.code;
    FileWalker walker = fs.Walker();
    Recorder recorder;
    recorder.Attach(walker);
    walker.SetRoots("R1;R2");
    EXPECT_EQ(walker.Walk(), c.outcome) << c.label;
    const bool walked_second = !recorder.events.empty() && recorder.events.back() == "F R2\\two.exe";
    EXPECT_EQ(walked_second, c.second_root_walked) << c.label;
    if (c.outcome == WalkOutcome::Failed) {
      EXPECT_EQ(walker.FailedFolder(), c.failing) << c.label;
      EXPECT_EQ(walker.FailureCode(), c.code) << c.label;
    } else if (c.failing != "R1") {
      // The folders after the empty one are walked.
      EXPECT_NE(std::find(recorder.events.begin(), recorder.events.end(), "F R1\\after\\later.exe"),
                recorder.events.end())
          << c.label;
    }
  }
}

TEST(FileWalker, AbortEndsTheWalkBeforeTheNextEntry) {
  FakeFileSystem fs;
  fs.folders["R1"] = {{"a.exe"}, {"b.exe"}, {"sub", kDir}, {"c.exe"}};
  fs.folders["R1\\sub"] = {{"d.exe"}};
  fs.folders["R2"] = {{"e.exe"}};
  FileWalker walker = fs.Walker();
  Recorder recorder;
  recorder.Attach(walker, /*abort_at_file=*/2);
  walker.SetRoots("R1;R2");
  EXPECT_EQ(walker.Walk(), WalkOutcome::Aborted);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"F R1\\a.exe", "F R1\\b.exe"}));
  EXPECT_EQ(fs.listed, std::vector<std::string>{"R1"});
}

TEST(FileWalker, CallbackExceptionsEndTheWalkAfterTheListingClosed) {
  FakeFileSystem fs;
  fs.folders["R"] = {{"a.exe"}, {"b.exe"}};
  FileWalker walker = fs.Walker();
  int files = 0;
  walker.SetOnFile([&](const std::string&) -> WalkAction {
    ++files;
    throw std::runtime_error("checker failed");
  });
  walker.SetRoots("R");
  EXPECT_THROW(walker.Walk(), std::runtime_error);
  EXPECT_EQ(files, 1);
  EXPECT_EQ(fs.open_listings, 0);
}

TEST(FileWalker, TenThousandNestedFoldersNeedNoDeepStack) {
  constexpr int kDepth = 10000;
  // Generated on demand: every folder below the root holds one subfolder "d"
  // down to kDepth levels, and the deepest one a file.
  auto depth_of = [](const std::string& folder) { return int(std::count(folder.begin(), folder.end(), '\\')); };
  FileWalker walker(
      [&](const std::string& folder, const std::function<bool(const FolderEntry&)>& visit) {
        visit(depth_of(folder) < kDepth ? FolderEntry{"d", kDir} : FolderEntry{"bottom.exe"});
        return platform::kErrorSuccess;
      },
      {}, '\\');
  int folders = 0;
  std::string file;
  walker.SetOnFolder([&](const std::string&) { ++folders; });
  walker.SetOnFile([&](const std::string& path) {
    file = path;
    return WalkAction::Continue;
  });
  walker.SetRoots("R");
  EXPECT_EQ(walker.Walk(), WalkOutcome::Completed);
  EXPECT_EQ(folders, kDepth);
  EXPECT_EQ(depth_of(file), kDepth + 1);
}

TEST(FileWalker, AFolderReachedAgainIsReportedButNotWalkedTwice) {
  FakeFileSystem fs;
  fs.folders["R"] = {{"a", kDir}, {"link-to-a", kDir}};
  fs.folders["R\\a"] = {{"x.exe"}, {"up", kDir}};
  fs.folders["R\\a\\up"] = {{"a", kDir}, {"link-to-a", kDir}};  // leads back to R
  fs.folders["R\\link-to-a"] = fs.folders["R\\a"];
  std::map<std::string, platform::FolderIdentity> ids = {
      {"R", {1, 1}}, {"R\\a", {1, 2}}, {"R\\link-to-a", {1, 2}}, {"R\\a\\up", {1, 1}}};
  FileWalker walker([&](const std::string& f, const auto& visit) { return fs.List(f, visit); },
                    [&](const std::string& path) -> std::optional<platform::FolderIdentity> {
                      auto found = ids.find(path);
                      if (found == ids.end()) return std::nullopt;
                      return found->second;
                    },
                    '\\');
  Recorder recorder;
  recorder.Attach(walker);
  walker.SetRoots("R;R");  // each root is walked in full, as listed
  EXPECT_EQ(walker.Walk(), WalkOutcome::Completed);
  const std::vector<std::string> once = {"D R\\a", "D R\\link-to-a", "F R\\a\\x.exe", "D R\\a\\up"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(recorder.events, twice);
  EXPECT_EQ(fs.listed, (std::vector<std::string>{"R", "R\\a", "R", "R\\a"}));
}

// The same behaviour on the real file system of this build.
class FileWalkerOnDisk : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) const {
    std::string path = folder_.Path() + platform::PathSeparator();
    for (char c : relative) path += c == '/' ? platform::PathSeparator() : c;
    return path;
  }
  void MakeFolder(const std::string& relative) { ASSERT_TRUE(platform::CreateFolder(Path(relative))); }
  void MakeFile(const std::string& relative) { ASSERT_TRUE(platform::WriteWholeFile(Path(relative), "MZ")); }

  std::vector<std::string> Walk(const std::string& roots, WalkOutcome expected, FileWalker& walker) {
    std::vector<std::string> files;
    walker.SetOnFile([&](const std::string& path) {
      files.push_back(path);
      return WalkAction::Continue;
    });
    walker.SetRoots(roots);
    EXPECT_EQ(walker.Walk(), expected);
    std::sort(files.begin(), files.end());
    return files;
  }

#ifndef _WIN32
  // Removes a chain of folders named "d" under `top`, with the files in them,
  // through descriptors: its paths are too long to name.
  static void RemoveDeepChain(const std::string& top) {
    std::vector<int> chain{::open(top.c_str(), O_RDONLY | O_DIRECTORY)};
    while (chain.back() >= 0) chain.push_back(::openat(chain.back(), "d", O_RDONLY | O_DIRECTORY));
    chain.pop_back();
    for (size_t i = chain.size(); i-- > 0;) {
      if (DIR* dir = ::fdopendir(::dup(chain[i]))) {
        while (dirent* entry = ::readdir(dir)) {
          if (entry->d_type != DT_DIR) ::unlinkat(chain[i], entry->d_name, 0);
        }
        ::closedir(dir);
      }
      if (i + 1 < chain.size()) ::unlinkat(chain[i], "d", AT_REMOVEDIR);
      ::close(chain[i]);
    }
  }
#endif

  test::ScratchFolder folder_;
};

TEST_F(FileWalkerOnDisk, FindsMatchingFilesWithNonAsciiNames) {
  MakeFolder("Sub\xE9");
  MakeFile("Sub\xE9/na\xEFve.EXE");
  MakeFile("readme.txt");
  MakeFolder("fake.exe");
  MakeFile("fake.exe/inner.dll");
  FileWalker walker;
  EXPECT_EQ(Walk(folder_.Path(), WalkOutcome::Completed, walker),
            (std::vector<std::string>{Path("Sub\xE9/na\xEFve.EXE"), Path("fake.exe/inner.dll")}));
}

TEST_F(FileWalkerOnDisk, AMissingRootEndsTheWalkAndAVanishedSubfolderDoesNot) {
  MakeFolder("a");
  MakeFolder("a/gone");
  MakeFile("a/gone/lost.exe");
  MakeFolder("b");
  MakeFile("b/kept.exe");
  FileWalker walker;
  // The subfolder disappears between its parent's listing and its own.
  walker.SetOnFolder([&](const std::string& path) {
    if (path == Path("a/gone")) std::filesystem::remove_all(path);
  });
  EXPECT_EQ(Walk(Path("a") + ";" + Path("b"), WalkOutcome::Completed, walker),
            std::vector<std::string>{Path("b/kept.exe")});
  walker.SetOnFolder({});
  EXPECT_TRUE(Walk(Path("missing") + ";" + Path("b"), WalkOutcome::Failed, walker).empty());
  EXPECT_EQ(walker.FailedFolder(), Path("missing"));
  EXPECT_EQ(walker.FailureCode(), platform::kErrorPathNotFound);
}

TEST_F(FileWalkerOnDisk, FolderIdentityRecognisesOneFolderUnderTwoNames) {
  MakeFolder("a");
  MakeFolder("a/sub");
  MakeFolder("b");
  MakeFile("file.exe");
  const auto a = platform::IdentifyFolder(Path("a"));
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(platform::IdentifyFolder(Path("a/sub/..")), a);
  EXPECT_NE(platform::IdentifyFolder(Path("a/sub")), a);
  EXPECT_NE(platform::IdentifyFolder(Path("b")), a);
  EXPECT_FALSE(platform::IdentifyFolder(Path("file.exe")).has_value());
  EXPECT_FALSE(platform::IdentifyFolder(Path("missing")).has_value());
  EXPECT_FALSE(platform::IdentifyFolder("").has_value());
}

#ifndef _WIN32
// Ten thousand nested folders on disk go far beyond the longest path the system
// opens: the walk skips what it cannot reach and goes on with the rest.
TEST_F(FileWalkerOnDisk, ATreeDeeperThanTheLongestPathIsWalkedAsFarAsItGoes) {
  constexpr int kDepth = 10000;
  MakeFolder("deep");
  MakeFile("deep/top.exe");
  MakeFile("after.dll");
  int fd = ::open(Path("deep").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  ::close(::openat(fd, "bottom.exe", O_CREAT | O_WRONLY, 0644));
  ::close(fd);
  FileWalker walker;
  int folders = 0;
  walker.SetOnFolder([&](const std::string&) { ++folders; });
  const std::vector<std::string> files = Walk(folder_.Path(), WalkOutcome::Completed, walker);
  EXPECT_EQ(files, (std::vector<std::string>{Path("after.dll"), Path("deep/top.exe")}));
  EXPECT_GT(folders, 1000);
  RemoveDeepChain(Path("deep"));
}

TEST_F(FileWalkerOnDisk, SymbolicLinksDoNotMakeTheWalkGoRound) {
  MakeFolder("a");
  MakeFile("a/x.exe");
  std::filesystem::create_directory_symlink(folder_.Path(), Path("a/loop"));
  std::filesystem::create_directory_symlink(Path("a"), Path("sibling"));
  FileWalker walker;
  std::vector<std::string> files = Walk(folder_.Path(), WalkOutcome::Completed, walker);
  // Reached once, through whichever path the system lists first.
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find("x.exe"), std::string::npos);
}
#endif

}  // namespace
}  // namespace vermilax
