// The real folder backend on a real temporary folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "skin/skin_folder.h"
#include "fakes/fake_services.h"
#include "fakes/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using fakes::TempFolder;

void set_mtime(const std::string& path, std::time_t when) {
  utimbuf times{when, when};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

TEST(FolderListing, ListsSubfoldersOnlyButNeverDotEntries) {
  TempFolder root;
  for (const char* name : {"a", "...", ".hidden", "with space"}) {
    fs::create_directory(root.path() + "/" + name);
  }
  std::ofstream(root.path() + "/main.png") << "x";
  fs::create_directory_symlink(root.path() + "/a", root.path() + "/link");

  platform::SystemFolderReader reader;
  std::vector<std::string> found;
  reader.list_subfolders(root.path(), found);
  std::sort(found.begin(), found.end());
  const std::string r = root.path() + "/";
  EXPECT_EQ(found, (std::vector<std::string>{r + "...", r + ".hidden", r + "a",
                                             r + "link", r + "with space"}));
}

TEST(FolderListing, MissingFolderAddsNothing) {
  platform::SystemFolderReader reader;
  std::vector<std::string> found{"kept"};
  reader.list_subfolders("/nonexistent/skinalpha", found);
  EXPECT_EQ(found, std::vector<std::string>{"kept"});
}

TEST(FolderTimes, ReadsLocalTimeWithMilliseconds) {
  TempFolder root;
  const std::string folder = root.path() + "/skin";
  fs::create_directory(folder);
  timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);

  platform::SystemFolderReader reader;
  platform::LocalTime t;
  platform::SystemFailure failure;
  ASSERT_TRUE(reader.last_write_time(folder, t, failure));
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

  EXPECT_FALSE(reader.last_write_time(root.path() + "/gone", t, failure));
  EXPECT_EQ(failure.code, static_cast<unsigned>(ENOENT));
}

TEST(FolderTimes, RealFoldersPickTheOneWrittenLast) {
  TempFolder root;
  for (const char* name : {"old", "new", "middle"}) {
    fs::create_directory(root.path() + "/" + name);
  }
  set_mtime(root.path() + "/old", 1700000000);
  set_mtime(root.path() + "/new", 1700007200);
  set_mtime(root.path() + "/middle", 1700003600);
  platform::SystemFolderReader reader;
  fakes::FakeDialogs dialogs;
  EXPECT_EQ(skin::select_skin_folder(root.path(), reader, dialogs),
            root.path() + "/new");
}

}  // namespace
