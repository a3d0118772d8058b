// The backup on real files: copied once, never replaced, and made with the
// file API so that no character of a path is special.
#include "image/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "fakes/console_capture.h"
#include "fakes/temp_folder.h"
#include "image_files.h"

namespace {

namespace fs = std::filesystem;
using testing_images::read_file;
using testing_images::write_file;

const testing_images::Bytes kOriginal = {1, 2, 3, 0, 255, 'x'};
const testing_images::Bytes kRewritten = {9, 9, 9};

struct BackupRun {
  bool ok;
  std::vector<std::string> lines;
};

BackupRun back_up(const std::string& image) {
  fakes::ConsoleCapture console;
  const bool ok = image::back_up_image(image);
  return {ok, console.lines()};
}

TEST(Backup, FirstRunCopiesTheBytesLaterRunsLeaveTheBackupAlone) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  write_file(image, kOriginal);

  const BackupRun first = back_up(image);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.lines, std::vector<std::string>{"备份文件中"});
  EXPECT_EQ(read_file(image + ".bak"), kOriginal);

  write_file(image, kRewritten);
  const BackupRun later = back_up(image);
  EXPECT_TRUE(later.ok);
  EXPECT_TRUE(later.lines.empty());
  EXPECT_EQ(read_file(image + ".bak"), kOriginal);
}

TEST(Backup, AfterTheBackupIsDeletedTheCurrentImageIsCopied) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  write_file(image, kOriginal);
  ASSERT_TRUE(back_up(image).ok);
  write_file(image, kRewritten);
  fs::remove(image + ".bak");

  const BackupRun again = back_up(image);
  EXPECT_EQ(again.lines, std::vector<std::string>{"备份文件中"});
  EXPECT_EQ(read_file(image + ".bak"), kRewritten);
}

TEST(Backup, SomethingUnreadableAtTheBackupPathCountsAsTheBackup) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  write_file(image, kOriginal);
  fs::create_directory(image + ".bak");
  const BackupRun run = back_up(image);
  EXPECT_TRUE(run.ok);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_TRUE(fs::is_directory(image + ".bak"));
  EXPECT_TRUE(fs::is_empty(image + ".bak"));
}

TEST(Backup, BlanksAmpersandsAndPercentSignsAreJustCharacters) {
  fakes::TempFolder root;
  const std::string folder = root / "my skin & co %PATH% 100%";
  fs::create_directory(folder);
  const std::string image = folder + "/main.png";
  write_file(image, kOriginal);

  EXPECT_TRUE(back_up(image).ok);
  EXPECT_EQ(read_file(image + ".bak"), kOriginal);
  // Nothing else came into being, neither beside the image nor above it.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"main.png", "main.png.bak"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(root.path()),
                          fs::directory_iterator()),
            1);
}

TEST(Backup, AFailedCopySaysSoNamesTheBackupAndLeavesNoFile) {
  fakes::TempFolder folder;
  for (const bool image_is_folder : {false, true}) {
    const std::string image = folder / (image_is_folder ? "dir.png" : "gone.png");
    if (image_is_folder) fs::create_directory(image);
    const BackupRun run = back_up(image);
    EXPECT_FALSE(run.ok);
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[0], "备份文件中");
    EXPECT_NE(run.lines[1].find("无法备份到 " + image + ".bak"), std::string::npos)
        << run.lines[1];
    EXPECT_FALSE(fs::exists(image + ".bak"));
  }
}

}  // namespace
