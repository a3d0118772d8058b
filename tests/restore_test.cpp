// Restoring the original from the backup: only a whole backup is put back,
// by its exact bytes, and a failed write leaves both files as they were.
#include "image/restore_original.h"

#include <gtest/gtest.h>

#include "fakes/console_capture.h"
#include "fakes/fake_files.h"
#include "image_files.h"

namespace {

using testing_images::build_png;
using testing_images::Bytes;
using testing_images::noise;

const std::string kImage = "/skin/main.png";
const std::string kBackup = kImage + ".bak";
const Bytes kOriginal = build_png(12, 6, 8, 2, noise(12 * 6 * 3, 5));
const Bytes kRewritten = build_png(12, 6, 8, 6, noise(12 * 6 * 4, 6));

bool wrote_anything(const fakes::FakeFiles& files) {
  for (const std::string& call : files.calls) {
    if (call.rfind("read:", 0) != 0 && call.rfind("lock:", 0) != 0) return true;
  }
  return false;
}

struct Unusable {
  const char* name;
  void (*arrange)(fakes::FakeFiles&);
  std::string line;
};

TEST(Restore, WritesNothingWithoutAWholeBackupOrWhenAlreadyTheOriginal) {
  const Unusable cases[] = {
      {"no backup", [](fakes::FakeFiles&) {},
       "没有找到备份文件，无法恢复，图片未作修改: " + kBackup},
      {"folder", [](fakes::FakeFiles& f) { f.folders.insert(kBackup); },
       "备份位置是文件夹或链接，无法恢复，图片未作修改: " + kBackup},
      {"link", [](fakes::FakeFiles& f) { f.links.insert(kBackup); },
       "备份位置是文件夹或链接，无法恢复，图片未作修改: " + kBackup},
      {"empty", [](fakes::FakeFiles& f) { f.files[kBackup] = {}; },
       "备份文件不是完整的图片，无法恢复，图片未作修改: " + kBackup},
      {"cut short", [](fakes::FakeFiles& f) {
         f.files[kBackup] = Bytes(kOriginal.begin(), kOriginal.end() - 30);
       }, "备份文件不是完整的图片，无法恢复，图片未作修改: " + kBackup},
      {"identical", [](fakes::FakeFiles& f) {
         f.files[kBackup] = f.files[kImage] = kOriginal;
       }, "图片与备份完全相同，已经是原图，无需恢复: " + kImage},
  };
  for (const Unusable& c : cases) {
    fakes::FakeFiles files;
    files.files[kImage] = kRewritten;
    c.arrange(files);
    const auto before = files.files;
    fakes::ConsoleCapture console;
    EXPECT_FALSE(image::restore_original(files, kImage)) << c.name;
    EXPECT_EQ(console.lines(), std::vector<std::string>{c.line}) << c.name;
    EXPECT_FALSE(wrote_anything(files)) << c.name;
    EXPECT_EQ(files.files, before) << c.name;
  }
}

TEST(Restore, AWriteThatBreaksOffOrIsRefusedLeavesBothFilesWhole) {
  for (const bool refused : {false, true}) {
    fakes::FakeFiles files;
    files.files[kImage] = kRewritten;
    files.files[kBackup] = kOriginal;
    if (refused) {
      files.replace_refused = true;
    } else {
      files.writes_break_after = kOriginal.size() / 2;
    }
    fakes::ConsoleCapture console;
    EXPECT_FALSE(image::restore_original(files, kImage)) << refused;
    EXPECT_EQ(files.files, (std::map<std::string, Bytes>{
                               {kImage, kRewritten}, {kBackup, kOriginal}}))
        << refused;
    const auto lines = console.lines();
    ASSERT_EQ(lines.size(), 2u) << refused;
    EXPECT_EQ(lines[0], "恢复失败，图片保持原样: " + kImage);
    EXPECT_EQ(lines[1].rfind("原因: ", 0), 0u) << lines[1];
  }
}

TEST(Restore, WaitsForTheOtherRunOnTheSameSkin) {
  fakes::FakeFiles files;
  files.files[kImage] = kRewritten;
  files.files[kBackup] = kOriginal;
  files.lock_busy = true;
  fakes::ConsoleCapture console;
  EXPECT_FALSE(image::restore_original(files, kImage));
  EXPECT_EQ(files.files[kImage], kRewritten);
  EXPECT_FALSE(wrote_anything(files));
}

}  // namespace
