// The real file backend of this system on real temporary folders. The same
// cases run in both builds, so the Win32 backend is held to what the POSIX
// one does, on names no code page but Unicode can spell.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "codec/image_codec.h"
#include "fakes/fake_services.h"
#include "fakes/temp_folder.h"
#include "image/image_lock.h"
#include "image/safe_replace.h"
#include "image_files.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "skin/skin_folder.h"

namespace {

namespace fs = std::filesystem;
using fakes::fs_path;
using fakes::TempFolder;
using platform::join_path;
using testing_images::Bytes;
using testing_images::read_file;
using testing_images::write_file;

// Chinese, a CJK extension character (outside GBK and outside the BMP),
// Korean, and characters a command line would treat specially.
const std::string kUnicodeName = "皮肤 张三 𠀀 한국어 & 100%";

TEST(FolderListing, ListsSubfoldersOnlyButNeverDotEntries) {
  TempFolder root;
  std::vector<std::string> expected;
  std::vector<std::string> names{"a", ".hidden", "with space", kUnicodeName};
#if !defined(_WIN32)
  names.push_back("...");  // Win32 drops trailing dots from any name
#endif
  for (const std::string& name : names) {
    fs::create_directory(fs_path(root / name));
    expected.push_back(join_path(root.path(), name));
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

TEST(FolderTimes, RealFoldersPickTheOneWrittenLast) {
  TempFolder root;
  const std::string older = join_path(root.path(), "older");
  const std::string newer = join_path(root.path(), kUnicodeName);
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
  if (skin::month_key(a) == skin::month_key(b)) {
    const long long apart = static_cast<long long>(skin::time_key(b)) - skin::time_key(a);
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
  const std::string path = join_path(root / kUnicodeName, "main.png");
  const Bytes data = testing_images::noise(300000, 1);
  platform::SystemFiles files;
  std::string error;
  ASSERT_TRUE(files.write_new_file(path, data.data(), data.size(), error)) << error;
  Bytes back;
  ASSERT_EQ(files.read_file(path, data.size(), back, error),
            platform::ReadOutcome::read) << error;
  EXPECT_EQ(back, data);

  const Bytes other = {1, 2, 3};
  EXPECT_FALSE(files.write_new_file(path, other.data(), other.size(), error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(read_file(path), data);

  const std::string empty = join_path(root / kUnicodeName, "empty");
  ASSERT_TRUE(files.write_new_file(empty, nullptr, 0, error)) << error;
  ASSERT_EQ(files.read_file(empty, 0, back, error), platform::ReadOutcome::read);
  EXPECT_TRUE(back.empty());
}

TEST(FileOperations, ReadsAreBoundedAndNeverWait) {
  TempFolder root;
  const std::string path = root / kUnicodeName;
  write_file(path, {1, 2, 3});
  platform::SystemFiles files;
  std::string error;
  Bytes back{9};
  EXPECT_EQ(files.read_file(path, 2, back, error),
            platform::ReadOutcome::too_large);
  EXPECT_TRUE(back.empty());
  EXPECT_NE(error.find(path), std::string::npos) << error;

  // Longer than any image could be: refused from its size, nothing read.
  const std::string sparse = root / "sparse";
  write_file(sparse, {});
  fs::resize_file(fs_path(sparse), 3ull << 30);
  const auto start = std::chrono::steady_clock::now();
  Bytes none;
  EXPECT_EQ(files.read_file(sparse, image::largest_image_file(), none, error),
            platform::ReadOutcome::too_large);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(none.capacity(), 0u);

  error.clear();
  EXPECT_EQ(files.read_file(root / "missing", 9, back, error),
            platform::ReadOutcome::missing);
  EXPECT_NE(error.find(root / "missing"), std::string::npos) << error;
  fs::create_directory(fs_path(root / "folder"));
  EXPECT_EQ(files.read_file(root / "folder", 9, back, error),
            platform::ReadOutcome::failed);
#if defined(_WIN32)
  // Held open by another program that shares nothing.
  const HANDLE held = CreateFileW(fs_path(path).wstring().c_str(), GENERIC_READ,
                                  0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files.read_file(path, 9, back, error), platform::ReadOutcome::in_use);
  CloseHandle(held);
#else
  // A pipe with no writer would hold a blocking open() forever.
  ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0644), 0);
  EXPECT_EQ(files.read_file(root / "fifo", 9, back, error),
            platform::ReadOutcome::failed);
#endif
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

#if defined(_WIN32)
// Runs a Unix command in `folder`; Wine starts Unix programs and does not wait
// for them, so the caller waits for what the command makes.
void run_unix(const std::wstring& program, std::wstring command,
              const std::string& folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                     nullptr, fs_path(folder).wstring().c_str(), &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
#endif

// Makes `name` in `folder` a link to `target` (relative to the folder). Under
// Wine the system call makes nothing, so the Unix `ln` makes the kind of link
// a user's prefix holds, one that Wine shows as a plain file.
bool make_link(const std::string& folder, const std::string& target,
               const std::string& name) {
  const fs::path link = fs_path(join_path(folder, name));
  std::error_code failed;
  fs::create_symlink(fs_path(target), link, failed);
#if defined(_WIN32)
  if (fs::symlink_status(link).type() == fs::file_type::not_found) {
    run_unix(L"Z:\\bin\\ln",
             L"ln -s " + fs_path(target).wstring() + L" " + fs_path(name).wstring(),
             folder);
    for (int i = 0; i < 50 && !fs::exists(link); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
#endif
  return fs::symlink_status(link).type() != fs::file_type::not_found;
}

TEST(SkinLocks, NoNameInTheSkinFakesBlocksOrLeadsTheLockOutside) {
  TempFolder root;
  const std::string skin = join_path(root.path(), kUnicodeName);
  fs::create_directory(fs_path(skin));
  const std::string image = join_path(skin, "main.png");
  write_file(image, {1});
  write_file(root / "outside", {5, 5});
#if defined(_WIN32)
  // Wine cannot see a link that leads nowhere; this one leads to a file that
  // a lock file opened to be deleted on close would take with it.
  const std::string lock_target = "../outside";
#else
  // Opening this one to create it would create the file it names.
  const std::string lock_target = "../created";
#endif
  if (!make_link(skin, "../outside", "main.png.tmp") ||
      !make_link(skin, lock_target, "main.png.lock")) {
    GTEST_SKIP() << "no links here";
  }
  // A read-only leftover of a killed run, and a folder where one would go.
  write_file(join_path(skin, "main.png.bak.tmp"), {7});
  fs::permissions(fs_path(join_path(skin, "main.png.bak.tmp")),
                  fs::perms::owner_write | fs::perms::group_write |
                      fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directory(fs_path(join_path(skin, "main.png.tmp1")));

  platform::SystemFiles files;
  std::unique_ptr<platform::HeldLock> lock;
  fakes::FakeConsole console;
  const image::SkinFiles names = image::skin_files_for(image);
  ASSERT_TRUE(image::lock_image(files, console, names, lock));
  image::remove_leftovers(files, names);
  EXPECT_EQ(files.path_kind(join_path(skin, "main.png.bak.tmp")),
            platform::PathKind::missing);
  platform::LockOutcome other = platform::LockOutcome::failed;
  std::string error;
  std::thread([&] {
    std::unique_ptr<platform::HeldLock> second;
    other = files.lock_folder(skin, second, error);
  }).join();
  EXPECT_EQ(other, platform::LockOutcome::busy);

  // Written beside what it may not remove.
  const Bytes data{2, 2};
  ASSERT_TRUE(image::replace_contents(files, image, names.image_temporaries,
                                      data.data(), data.size(), error)) << error;
  EXPECT_EQ(read_file(image), data);
  EXPECT_EQ(read_file(root / "outside"), (Bytes{5, 5}));
  EXPECT_FALSE(fs::exists(fs_path(root / "created")));
  EXPECT_FALSE(files.remove_file(join_path(skin, "main.png.tmp")));
  EXPECT_FALSE(files.remove_file(join_path(skin, "main.png.tmp1")));
  EXPECT_EQ(read_file(root / "outside"), (Bytes{5, 5}));
  EXPECT_EQ(fakes::names_in(skin),
            (std::vector<std::string>{"main.png", "main.png.lock",
                                      "main.png.tmp", "main.png.tmp1"}));

  lock.reset();
  ASSERT_EQ(files.lock_folder(skin, lock, error), platform::LockOutcome::locked);
  EXPECT_EQ(files.lock_folder(root / "missing", lock, error),
            platform::LockOutcome::failed);
  EXPECT_FALSE(error.empty());
#if defined(_WIN32)
  // Wine cannot remove the links: the temporary folder would stay behind.
  run_unix(L"Z:\\bin\\rm", L"rm main.png.lock main.png.tmp", skin);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
#endif
}

}  // namespace
