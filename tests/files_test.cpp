// The real file backend of this system on real temporary folders. The same
// cases run in both builds, so the Win32 backend is held to what the POSIX
// one does, on names no code page but Unicode can spell.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fakes/temp_folder.h"
#include "image_files.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "skin/skin_folder.h"

namespace {

namespace fs = std::filesystem;
using fakes::fs_path;
using fakes::TempFolder;
using testing_images::Bytes;
using testing_images::read_file;
using testing_images::write_file;

// Chinese, a CJK extension character (outside GBK and outside the BMP),
// Korean, and characters a command line would treat specially.
const std::string kUnicodeName = "皮肤 张三 𠀀 한국어 & 100%";

std::string join(const std::string& folder, const std::string& name) {
  return folder + platform::path_separator() + name;
}

TEST(FolderListing, ListsSubfoldersOnlyButNeverDotEntries) {
  TempFolder root;
  std::vector<std::string> expected;
  std::vector<std::string> names{"a", ".hidden", "with space", kUnicodeName};
#if !defined(_WIN32)
  names.push_back("...");  // Win32 drops trailing dots from any name
#endif
  for (const std::string& name : names) {
    fs::create_directory(fs_path(root / name));
    expected.push_back(join(root.path(), name));
  }
  write_file(root / "main.png", {1});

  platform::SystemFiles files;
  std::vector<std::string> found;
  files.list_subfolders(root.path(), found);
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);

  std::vector<std::string> kept{"kept"};
  files.list_subfolders(root / "missing", kept);
  EXPECT_EQ(kept, std::vector<std::string>{"kept"});
}

long long milliseconds_of_month(const platform::LocalTime& t) {
  return (((t.day * 24LL + t.hour) * 60 + t.minute) * 60 + t.second) * 1000 +
         t.milliseconds;
}

TEST(FolderTimes, RealFoldersPickTheOneWrittenLast) {
  TempFolder root;
  const std::string older = join(root.path(), "older");
  const std::string newer = join(root.path(), kUnicodeName);
  fs::create_directory(fs_path(older));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  fs::create_directory(fs_path(newer));

  platform::SystemFiles files;
  platform::LocalTime a;
  platform::LocalTime b;
  platform::SystemFailure failure;
  ASSERT_TRUE(files.last_write_time(older, a, failure));
  ASSERT_TRUE(files.last_write_time(newer, b, failure));
  EXPECT_TRUE(skin::is_earlier(a, b));
  if (a.month == b.month) {
    const long long apart = milliseconds_of_month(b) - milliseconds_of_month(a);
    EXPECT_GE(apart, 40);
    EXPECT_LE(apart, 10000);
  }

  std::string chosen;
  ASSERT_TRUE(skin::select_skin_folder(root.path(), files, chosen, failure));
  EXPECT_EQ(chosen, newer);

  EXPECT_FALSE(files.last_write_time(root / "gone", a, failure));
  EXPECT_FALSE(failure.call.empty());
  EXPECT_NE(failure.code, 0u);
}

#if !defined(_WIN32)
TEST(FolderTimes, ReadsLocalTimeWithMilliseconds) {
  TempFolder root;
  const std::string folder = root / "skin";
  fs::create_directory(folder);
  timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);

  platform::SystemFiles files;
  platform::LocalTime t;
  platform::SystemFailure failure;
  ASSERT_TRUE(files.last_write_time(folder, t, failure));
  std::time_t seconds = 1700000000;
  std::tm expected{};
  localtime_r(&seconds, &expected);
  EXPECT_EQ(t.year, expected.tm_year + 1900);
  EXPECT_EQ(t.month, expected.tm_mon + 1);
  EXPECT_EQ(t.day, expected.tm_mday);
  EXPECT_EQ(t.hour, expected.tm_hour);
  EXPECT_EQ(t.minute, expected.tm_min);
  EXPECT_EQ(t.second, expected.tm_sec);
  EXPECT_EQ(t.milliseconds, 123);
  EXPECT_EQ(t.day_of_week, expected.tm_wday);
}
#endif

TEST(FileOperations, NewFilesAreWrittenWholeAndNeverOverAnything) {
  TempFolder root;
  fs::create_directory(fs_path(root / kUnicodeName));
  const std::string path = join(root / kUnicodeName, "main.png");
  const Bytes data = testing_images::noise(300000, 1);
  platform::SystemFiles files;
  std::string error;
  ASSERT_TRUE(files.write_new_file(path, data.data(), data.size(), error)) << error;
  Bytes back;
  ASSERT_TRUE(files.read_file(path, back, error)) << error;
  EXPECT_EQ(back, data);

  const Bytes other = {1, 2, 3};
  EXPECT_FALSE(files.write_new_file(path, other.data(), other.size(), error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(read_file(path), data);

  const std::string empty = join(root / kUnicodeName, "empty");
  ASSERT_TRUE(files.write_new_file(empty, nullptr, 0, error)) << error;
  ASSERT_TRUE(files.read_file(empty, back, error));
  EXPECT_TRUE(back.empty());

  error.clear();
  EXPECT_FALSE(files.read_file(root / "missing", back, error));
  EXPECT_NE(error.find(root / "missing"), std::string::npos) << error;
  EXPECT_FALSE(files.read_file(root / kUnicodeName, back, error)) << "a folder";
}

TEST(FileOperations, ReplaceTakesTheNewFileAndMoveIfAbsentNeverReplaces) {
  TempFolder root;
  const std::string target = root / (kUnicodeName + ".png");
  const std::string fresh = target + ".tmp";
  write_file(target, {1});
  write_file(fresh, {2, 2});
  platform::SystemFiles files;
  std::string error;
  ASSERT_TRUE(files.replace_file(fresh, target, error)) << error;
  EXPECT_EQ(read_file(target), (Bytes{2, 2}));
  EXPECT_EQ(files.path_kind(fresh), platform::PathKind::missing);

  write_file(fresh, {3});
  EXPECT_EQ(files.move_if_absent(fresh, target, error),
            platform::MoveOutcome::target_exists);
  EXPECT_EQ(read_file(target), (Bytes{2, 2}));
  EXPECT_EQ(read_file(fresh), Bytes{3});
  const std::string backup = target + ".bak";
  EXPECT_EQ(files.move_if_absent(fresh, backup, error),
            platform::MoveOutcome::moved) << error;
  EXPECT_EQ(read_file(backup), Bytes{3});
  EXPECT_EQ(fakes::names_in(root.path()),
            (std::vector<std::string>{kUnicodeName + ".png",
                                      kUnicodeName + ".png.bak"}));

  EXPECT_EQ(files.move_if_absent(root / "missing", root / "other", error),
            platform::MoveOutcome::failed);
  EXPECT_FALSE(files.replace_file(root / "missing", target, error));
  EXPECT_EQ(read_file(target), (Bytes{2, 2}));

  EXPECT_TRUE(files.remove_file(backup));
  EXPECT_FALSE(files.remove_file(backup));
}

TEST(FileOperations, PathKindsDoNotFollowLinks) {
  TempFolder root;
  write_file(root / kUnicodeName, {1});
  fs::create_directory(fs_path(root / "folder"));
  platform::SystemFiles files;
  EXPECT_EQ(files.path_kind(root / kUnicodeName), platform::PathKind::file);
  EXPECT_EQ(files.path_kind(root / "folder"), platform::PathKind::folder);
  EXPECT_EQ(files.path_kind(root / "missing"), platform::PathKind::missing);
  std::error_code unsupported;
  fs::create_symlink(fs_path(root / "missing"), fs_path(root / "dangling"),
                     unsupported);
  if (!unsupported) {
    EXPECT_EQ(files.path_kind(root / "dangling"), platform::PathKind::other);
  }
}

TEST(FileLocks, OneHolderAtATimeAndNothingLeftBehind) {
  TempFolder root;
  const std::string path = root / (kUnicodeName + ".lock");
  platform::SystemFiles files;
  std::string error;
  std::unique_ptr<platform::HeldLock> first;
  std::unique_ptr<platform::HeldLock> second;
  ASSERT_EQ(files.lock_file(path, first, error), platform::LockOutcome::locked)
      << error;
  EXPECT_EQ(files.lock_file(path, second, error), platform::LockOutcome::busy);
  EXPECT_EQ(second, nullptr);
  first.reset();
  EXPECT_TRUE(fakes::names_in(root.path()).empty());
  ASSERT_EQ(files.lock_file(path, second, error), platform::LockOutcome::locked);
  second.reset();

  EXPECT_EQ(files.lock_file(root / "missing" + "/x.lock", first, error),
            platform::LockOutcome::failed);
  EXPECT_FALSE(error.empty());
}

}  // namespace
