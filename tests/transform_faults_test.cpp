// What no run may do: lose or shorten the user's image. Files that do not
// decode, writes that cannot start or break off midway, a blocked move; in
// each the image is whole and the console says what happened.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <filesystem>

#include "fakes/temp_folder.h"
#include "image/safe_replace.h"
#include "image/skin_files.h"
#include "image_files.h"
#include "transform_runs.h"

namespace {

namespace fs = std::filesystem;
using testing_images::build_png;
using testing_images::Bytes;
using testing_images::noise;
using testing_images::read_file;
using testing_images::write_file;

const std::string kSaveFailed = "保存失败，图片保持原样: ";

#if !defined(_WIN32)
// Files written by this process may not grow past `bytes` while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    platform::prepare_file_writes();  // as the program does at start-up
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};
#endif

struct Undecodable {
  const char* name;
  Bytes file;
  const char* message;
};

TEST(ImagesThatDoNotDecode, SayWhichFileAndWriteNothing) {
  const Bytes good = build_png(64, 64, 8, 2, noise(64 * 64 * 3, 1));
  const char* unreadable = "无法读取图片(文件缺失、不完整或不是图片): ";
  const char* too_large = "图片尺寸过大，无法处理: ";
  const Undecodable cases[] = {
      {"empty", {}, unreadable},
      {"truncated", Bytes(good.begin(), good.begin() + good.size() / 2), unreadable},
      {"not an image", Bytes(200, 'x'), unreadable},
      {"corrupt data", [&] {
         Bytes b = good;
         for (std::size_t i = 60; i < b.size() - 20; ++i) b[i] ^= 0x5a;
         return b;
       }(), unreadable},
      {"huge header", testing_images::png_claiming(9000, 9000), too_large},
      // Past what stb_image itself accepts: its own refusal is no answer.
      {"huger header", testing_images::png_claiming(20000, 20000), too_large},
      {"hugest header", testing_images::png_claiming(100000, 100000), too_large},
      {"zero width", testing_images::png_claiming(0, 20000), unreadable},
      {"huge JPEG", {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0,  // an empty APP0
                     0xFF, 0xC2, 0, 17, 8, 0x75, 0x30, 0x75, 0x30, 3,  // 30000²
                     1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xD9}, too_large},
      {"huge BMP", [] {
         Bytes b(54, 0);
         b[0] = 'B', b[1] = 'M', b[14] = 40, b[26] = 1, b[28] = 24;
         b[18] = 0x30, b[19] = 0x75;  // 30000 wide
         b[22] = 0xD0, b[23] = 0x8A, b[24] = 0xFF, b[25] = 0xFF;  // -30000 high
         return b;
       }(), too_large},
  };
  for (const Undecodable& c : cases) {
    fakes::TempFolder folder;
    const std::string image = folder / "main.png";
    write_file(image, c.file);
    const transform_runs::Run run = transform_runs::transform(image, "50\n");
    EXPECT_FALSE(run.ok) << c.name;
    // No backup is announced for what cannot be backed up.
    ASSERT_EQ(run.lines.size(), 3u) << c.name << run.text();
    EXPECT_EQ(std::vector<std::string>(run.lines.begin(), run.lines.begin() + 2),
              (std::vector<std::string>{"加载中..", "加载完成"}));
    EXPECT_EQ(run.lines[2], c.message + image) << c.name;
    EXPECT_EQ(read_file(image), c.file) << c.name;
    // No backup is made of something that is not a whole image.
    EXPECT_EQ(fakes::names_in(folder.path()), std::vector<std::string>{"main.png"});
  }
}

TEST(ImagesThatDoNotDecode, AMissingImageIsCalledMissingAndCreatesNothing) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  const std::string missing = "找不到皮肤图片 main.png，图片未作修改: ";
  const Bytes backup = build_png(3, 3, 8, 6, noise(36, 2));
  write_file(image + ".bak", backup);
  transform_runs::Run run = transform_runs::transform(image, "50\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.lines, (std::vector<std::string>{"加载中..", "加载完成",
                                                 missing + image}));
  EXPECT_EQ(fakes::names_in(folder.path()), std::vector<std::string>{"main.png.bak"});
  EXPECT_EQ(read_file(image + ".bak"), backup);

  // Nor is a lock spoken of for a folder that is not there.
  const std::string nowhere = folder / "gone/main.png";
  run = transform_runs::transform(nowhere, "50\n");
  EXPECT_EQ(run.lines, std::vector<std::string>{missing + nowhere});
  EXPECT_EQ(fakes::names_in(folder.path()), std::vector<std::string>{"main.png.bak"});
}

TEST(ImagesThatDoNotDecode, FilesLongerThanAnyImageAreRefusedUnread) {
  // Sparse: three gigabytes that take no room and must take no memory.
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  write_file(image, {});
  fs::resize_file(image, 3ull << 30);
  transform_runs::Run run = transform_runs::transform(image, "50\n");
  EXPECT_EQ(run.lines, (std::vector<std::string>{
                           "加载中..", "加载完成", "图片尺寸过大，无法处理: " + image}));

  fs::rename(image, image + ".bak");
  write_file(image, build_png(3, 3, 8, 6, noise(36, 2)));
  run = transform_runs::transform(image, "50\n");
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines[0], "备份文件不是完整的图片，图片未作修改: " + image + ".bak");
  EXPECT_EQ(fs::file_size(image + ".bak"), 3ull << 30);
}

TEST(ImagesThatDoNotDecode, AFolderNamedMainPngStopsBeforeAnyBackup) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  fs::create_directory(image);
  write_file(image + "/inside", {7});
  const transform_runs::Run run = transform_runs::transform(image, "50\n");
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.lines.size(), 4u) << run.text();
  EXPECT_EQ(std::vector<std::string>(run.lines.begin(), run.lines.begin() + 3),
            (std::vector<std::string>{
                "加载中..", "加载完成",
                "无法读取图片(文件缺失、不完整或不是图片): " + image}));
  EXPECT_EQ(run.lines[3].rfind("原因: " + image, 0), 0u) << run.lines[3];
  EXPECT_EQ(read_file(image + "/inside"), Bytes{7});
  EXPECT_EQ(fakes::names_in(folder.path()), std::vector<std::string>{"main.png"});
}

TEST(BlockedWrites, ATemporaryNameThatCannotBeUsedLeavesTheImageAsItWas) {
  // Folders where the temporary files go stand for a folder that cannot be
  // written: root may write anywhere, but never a file over a folder.
  for (const int type : {6, 2}) {
    fakes::TempFolder folder;
    const std::string image = folder / "main.png";
    const int channels = type == 6 ? 4 : 3;
    const Bytes original = build_png(9, 9, 8, type, noise(81 * channels, 3));
    write_file(image, original);
    for (const std::string& name : image::skin_files_for(image).image_temporaries) {
      fs::create_directory(name);
    }

    const transform_runs::Run run = transform_runs::transform(image, "50\n");
    EXPECT_FALSE(run.ok);
    std::vector<std::string> expected{"备份文件中", "加载中..", "加载完成"};
    if (channels == 4) {
      expected = transform_runs::lines_until_prompt(true, false);
      expected.insert(expected.end(), {"转换中...", "转换完成，保存中..."});
    } else {
      expected.push_back("转换格式中 24=>32...");
    }
    expected.push_back(kSaveFailed + image);
    ASSERT_EQ(run.lines.size(), expected.size() + 1) << run.text();
    EXPECT_EQ(std::vector<std::string>(run.lines.begin(), run.lines.end() - 1), expected);
    EXPECT_EQ(run.lines.back().rfind("原因: ", 0), 0u);
    EXPECT_EQ(read_file(image), original);
    EXPECT_TRUE(fs::is_directory(image + ".tmp"));
  }
}

// A size limit is how the host makes a real write break off midway.
#if !defined(_WIN32)
TEST(BlockedWrites, AWriteThatBreaksOffMidwayLeavesNoTrace) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  // Noise does not compress: the new file needs about 64 KiB.
  const Bytes original = build_png(128, 128, 8, 6, noise(128 * 128 * 4, 4));
  write_file(image, original);
  write_file(image + ".bak", original);
  transform_runs::Run run;
  {
    FileSizeLimit limit(16 * 1024);
    run = transform_runs::transform(image, "50\n");
  }
  EXPECT_FALSE(run.ok);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2], kSaveFailed + image) << run.text();
  EXPECT_EQ(read_file(image), original);
  EXPECT_EQ(fakes::names_in(folder.path()),
            (std::vector<std::string>{"main.png", "main.png.bak"}));
}

TEST(BlockedWrites, ABackupThatBreaksOffMidwayIsRemovedAndNothingRewritten) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  const Bytes original = build_png(128, 128, 8, 6, noise(128 * 128 * 4, 5));
  write_file(image, original);
  transform_runs::Run run;
  {
    FileSizeLimit limit(16 * 1024);
    run = transform_runs::transform(image, "50\n");
  }
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.lines.size(), 4u) << run.text();
  EXPECT_EQ(run.lines[3].rfind("无法备份到 " + image + ".bak", 0), 0u);
  EXPECT_EQ(read_file(image), original);
  EXPECT_EQ(fakes::names_in(folder.path()), std::vector<std::string>{"main.png"});
}

#endif

TEST(BlockedWrites, AMoveThatFailsKeepsTheTargetAndRemovesTheTemporaryFile) {
  fakes::TempFolder folder;
  const std::string target = folder / "main.png";
  fs::create_directory(target);
  write_file(target + "/inside", {1});
  const Bytes data = {1, 2, 3};
  std::string error;
  platform::SystemFiles files;
  EXPECT_FALSE(image::replace_contents(files, target, {target + ".tmp"},
                                       data.data(), data.size(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(read_file(target + "/inside"), Bytes{1});
  EXPECT_EQ(fakes::names_in(folder.path()), std::vector<std::string>{"main.png"});
}

TEST(BlockedWrites, ATemporaryFileLeftByAnEarlierRunIsReplaced) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  write_file(image, build_png(9, 9, 8, 6, noise(81 * 4, 6)));
  write_file(image + ".tmp", {9, 9});
  EXPECT_TRUE(transform_runs::transform(image, "50\n").ok);
  EXPECT_EQ(fakes::names_in(folder.path()),
            (std::vector<std::string>{"main.png", "main.png.bak"}));
}

#if defined(_WIN32)
// Windows refuses to move a file over a read-only one: the run says so and
// the image stays as it was, while its backup is an ordinary file the user
// can later copy back or delete.
TEST(BlockedWrites, AReadOnlyImageFailsHonestlyWithAWritableBackup) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  const Bytes original = build_png(9, 9, 8, 6, noise(81 * 4, 7));
  write_file(image, original);
  fs::permissions(image, fs::perms::owner_write | fs::perms::group_write |
                             fs::perms::others_write,
                  fs::perm_options::remove);
  const transform_runs::Run run = transform_runs::transform(image, "50\n");
  EXPECT_FALSE(run.ok);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2], kSaveFailed + image) << run.text();
  EXPECT_EQ(read_file(image), original);
  EXPECT_EQ(read_file(image + ".bak"), original);
  EXPECT_NE(fs::status(image + ".bak").permissions() & fs::perms::owner_write,
            fs::perms::none);
  fs::permissions(image, fs::perms::owner_write, fs::perm_options::add);
}
#endif

}  // namespace
