// Restoring from the backup changes nothing unless a whole backup can be
// put in place in one step; the console says why.
#include "image/restore_original.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fake_files.h"
#include "fakes/fake_services.h"
#include "image_files.h"

namespace {

using testing_images::Bytes;
using Files = fakes::FakeFiles;

TEST(Restore, LeavesBothFilesAsTheyWereWhenItCannotOrNeedNot) {
  const std::string image = "/skin/main.png", backup = image + ".bak";
  const Bytes original = testing_images::build_png(12, 6, 8, 2, Bytes(216, 7));
  const std::string unusable = "备份文件不是完整的图片，无法恢复，图片未作修改: ";
  const std::string failed = "恢复失败，图片保持原样: ";
  const struct {
    void (*arrange)(Files&, const Bytes&);
    std::string line;
  } cases[] = {
      {[](Files& f, const Bytes&) { f.files.erase("/skin/main.png.bak"); },
       "没有找到备份文件，无法恢复，图片未作修改: " + backup},
      {[](Files& f, const Bytes&) {
         f.files.erase("/skin/main.png.bak");
         f.links.insert("/skin/main.png.bak");
       }, "备份位置是文件夹或链接，无法恢复，图片未作修改: " + backup},
      {[](Files& f, const Bytes&) { f.files["/skin/main.png.bak"].clear(); },
       unusable + backup},
      {[](Files& f, const Bytes& o) {
         f.files["/skin/main.png.bak"] = Bytes(o.begin(), o.end() - 30);
       }, unusable + backup},
      {[](Files& f, const Bytes& o) { f.files["/skin/main.png"] = o; },
       "图片与备份完全相同，已经是原图，无需恢复: " + image},
      {[](Files& f, const Bytes&) { f.writes_break_after = 40; }, failed + image},
      {[](Files& f, const Bytes&) { f.replace_refused = true; }, failed + image},
      {[](Files& f, const Bytes&) { f.lock_busy = true; },
       "另一个skinalpha正在处理这个皮肤，图片未作修改: " + image},
  };
  for (const auto& c : cases) {
    Files files;
    files.files = {{image, Bytes(90, 'x')}, {backup, original}};
    c.arrange(files, original);
    const auto before = files.files;
    fakes::FakeConsole console;
    EXPECT_FALSE(image::restore_original(files, console, image)) << c.line;
    EXPECT_EQ(files.files, before) << c.line;
    EXPECT_EQ(console.lines().at(0), c.line);
    // Rewriting identical bytes would leave them equal, yet is a write.
    const bool wrote = std::any_of(files.calls.begin(), files.calls.end(),
        [](const std::string& call) { return call.rfind("write:", 0) == 0; });
    EXPECT_EQ(wrote, c.line.rfind(failed, 0) == 0) << c.line;
  }
}

}  // namespace
