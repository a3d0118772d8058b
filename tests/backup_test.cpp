// The user's way back: main.png.bak is made once, whole, from the image as
// it was, and the image is changed only while such a backup stands beside
// it. Real files for what the disk decides, the fake for what a disk rarely
// does (a write that breaks off, a kill at any moment, a second run).
#include "image/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "codec/image_codec.h"
#include "fakes/fake_files.h"
#include "fakes/temp_folder.h"
#include "image_files.h"
#include "transform_runs.h"

namespace {

namespace fs = std::filesystem;
using fakes::fs_path;
using testing_images::build_png;
using testing_images::Bytes;
using testing_images::noise;
using testing_images::read_file;
using testing_images::write_file;

const Bytes kOriginal = build_png(16, 8, 8, 2, noise(16 * 8 * 3, 11));

TEST(Backup, FirstRunCopiesTheBytesLaterRunsLeaveTheBackupAlone) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  write_file(image, kOriginal);

  const auto first = transform_runs::transform(image, "40\n");
  EXPECT_TRUE(first.ok) << first.text();
  EXPECT_EQ(first.lines.front(), "备份文件中");
  EXPECT_EQ(read_file(image + ".bak"), kOriginal);

  const auto later = transform_runs::transform(image, "60\n");
  EXPECT_TRUE(later.ok) << later.text();
  EXPECT_EQ(later.lines.front(), "加载中..");
  EXPECT_EQ(read_file(image + ".bak"), kOriginal);
  EXPECT_EQ(fakes::names_in(folder.path()),
            (std::vector<std::string>{"main.png", "main.png.bak"}));

  // Deleting the backup makes the next run keep the image as it is now.
  const Bytes rewritten = read_file(image);
  fs::remove(fs_path(image + ".bak"));
  EXPECT_TRUE(transform_runs::transform(image, "50\n").ok);
  EXPECT_EQ(read_file(image + ".bak"), rewritten);
}

TEST(Backup, BlanksAmpersandsPercentSignsAndChineseAreJustCharacters) {
  fakes::TempFolder root;
  const std::string folder = root / "my skin & co %PATH% 100% 皮肤";
  fs::create_directory(fs_path(folder));
  const std::string image = folder + "/main.png";
  write_file(image, kOriginal);
  EXPECT_TRUE(transform_runs::transform(image, "50\n").ok);
  EXPECT_EQ(read_file(image + ".bak"), kOriginal);
  EXPECT_EQ(fakes::names_in(folder),
            (std::vector<std::string>{"main.png", "main.png.bak"}));
  EXPECT_EQ(fakes::names_in(root.path()).size(), 1u);
}

// Whatever stands at the backup path that is not a whole image: the image
// is changed only where nothing of the original can be lost.
TEST(UnusableBackups, OnlyAnEmptyFileIsReplacedEverythingElseStopsTheRun) {
  const Bytes half(kOriginal.begin(), kOriginal.begin() + kOriginal.size() / 2);
  struct Case {
    const char* name;
    std::function<void(const std::string& backup)> make;
    bool rewritten;
    const char* first_line;
  };
  const Case cases[] = {
      {"empty file", [](const std::string& b) { write_file(b, {}); }, true,
       "备份文件中"},
      {"the image itself", [](const std::string& b) { write_file(b, kOriginal); }, true,
       "加载中.."},
      {"half an image", [&](const std::string& b) { write_file(b, half); },
       false, "备份文件不是完整的图片，图片未作修改: "},
      {"not an image", [](const std::string& b) { write_file(b, Bytes(99, 'x')); },
       false, "备份文件不是完整的图片，图片未作修改: "},
      {"folder", [](const std::string& b) { fs::create_directory(fs_path(b)); },
       false, "备份位置被文件夹或链接占用，图片未作修改: "},
      {"dangling link",
       [](const std::string& b) {
         fs::create_symlink(fs_path(b + ".gone"), fs_path(b));
       },
       false, "备份位置被文件夹或链接占用，图片未作修改: "},
  };
  for (const Case& c : cases) {
    fakes::TempFolder folder;
    const std::string image = folder / "main.png";
    const std::string backup = image + ".bak";
    write_file(image, kOriginal);
    try {
      c.make(backup);
    } catch (const fs::filesystem_error&) {
      continue;  // no links on this system
    }
    const auto before = fakes::names_in(folder.path());
    const auto run = transform_runs::transform(image, "50\n");
    EXPECT_EQ(run.ok, c.rewritten) << c.name << run.text();
    ASSERT_FALSE(run.lines.empty()) << c.name;
    if (c.rewritten) {
      EXPECT_EQ(run.lines.front(), c.first_line) << c.name;
      EXPECT_EQ(read_file(backup), kOriginal) << c.name;
    } else {
      EXPECT_EQ(run.lines.front(), c.first_line + backup) << c.name;
      EXPECT_EQ(read_file(image), kOriginal) << c.name;
      EXPECT_EQ(fakes::names_in(folder.path()), before) << c.name;
    }
  }
}

// The fake dies at every call of a first run in turn, as a closed window or
// a power cut would end it. Whatever the moment, the backup is absent or
// whole, the image is the original or a whole picture, and the next run
// cleans up and finishes with the original as backup.
TEST(KilledRuns, NoMomentLeavesAPartialBackupOrImage) {
  const std::string image = "skin/main.png";
  const std::string backup = image + ".bak";
  int calls_of_a_whole_run = 0;
  {
    fakes::FakeFiles files;
    files.files[image] = kOriginal;
    ASSERT_TRUE(transform_runs::transform(files, image, "30\n").ok);
    calls_of_a_whole_run = static_cast<int>(files.calls.size());
  }
  ASSERT_GT(calls_of_a_whole_run, 5);
  for (int kill = 0; kill < calls_of_a_whole_run; ++kill) {
    fakes::FakeFiles files;
    files.files[image] = kOriginal;
    files.kill_at_call = kill;
    EXPECT_THROW(transform_runs::transform(files, image, "30\n"), fakes::Killed)
        << "call " << kill;
    EXPECT_EQ(files.locks_held, 0);
    if (files.files.count(backup)) {
      EXPECT_EQ(files.files[backup], kOriginal) << "after call " << files.calls[kill];
    }
    image::DecodedImage decoded;
    const Bytes& now = files.files[image];
    EXPECT_EQ(image::decode_image(now.data(), now.size(), decoded),
              image::DecodeResult::decoded)
        << "after call " << files.calls[kill];

    files.kill_at_call = -1;
    const auto again = transform_runs::transform(files, image, "30\n");
    EXPECT_TRUE(again.ok) << again.text();
    EXPECT_EQ(files.files[backup], kOriginal) << "after call " << files.calls[kill];
    for (const auto& entry : files.files) {
      EXPECT_TRUE(entry.first == image || entry.first == backup) << entry.first;
    }
  }
}

TEST(KilledRuns, ABackupThatBreaksOffLeavesNothingAndChangesNothing) {
  fakes::FakeFiles files;
  const std::string image = "skin/main.png";
  files.files[image] = kOriginal;
  files.writes_break_after = kOriginal.size() / 2;
  const auto run = transform_runs::transform(files, image, "50\n");
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.lines.size(), 4u) << run.text();
  EXPECT_EQ(run.lines[3].rfind("无法备份到 " + image + ".bak，图片未作修改: ", 0), 0u);
  EXPECT_EQ(files.files.size(), 1u);
  EXPECT_EQ(files.files[image], kOriginal);

  files.writes_break_after = SIZE_MAX;
  files.move_refused = true;
  EXPECT_FALSE(transform_runs::transform(files, image, "50\n").ok);
  EXPECT_EQ(files.files.size(), 1u);
}

TEST(SecondRuns, AnotherRunOnTheSameSkinChangesNothing) {
  fakes::FakeFiles files;
  const std::string image = "skin/main.png";
  files.files[image] = kOriginal;
  files.lock_busy = true;
  const auto run = transform_runs::transform(files, image, "50\n");
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0], "另一个skinalpha正在处理这个皮肤，图片未作修改: " + image);
  EXPECT_EQ(files.calls, std::vector<std::string>{"lock:skin"});
}

TEST(SecondRuns, AnImageHeldByAnotherProgramIsSaidToBeInUse) {
  fakes::FakeFiles files;
  const std::string image = "skin/main.png";
  files.files[image] = kOriginal;
  files.in_use.insert(image);
  const auto run = transform_runs::transform(files, image, "50\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.lines, (std::vector<std::string>{
                           "加载中..", "加载完成",
                           "图片正被其他程序使用，图片未作修改: " + image,
                           "请关闭正在使用它的程序后再运行。"}));
  EXPECT_EQ(files.files.size(), 1u);
}

TEST(KilledRuns, ABackupWriteRefusedAtEveryNameRemovesNoneOfThem) {
  fakes::FakeFiles files;
  const std::string image = "skin/main.png";
  const std::string temporary = image + ".bak.tmp";
  files.files[image] = kOriginal;
  files.links.insert(temporary);
  for (const std::string& name : {"1", "2", "3"}) {
    files.folders.insert(temporary + name);
  }
  EXPECT_FALSE(transform_runs::transform(files, image, "50\n").ok);
  EXPECT_TRUE(files.links.count(temporary));
  for (const std::string& call : files.calls) {
    EXPECT_NE(call.rfind("remove:" + temporary, 0), 0u) << call;
  }
}

}  // namespace
