// One transform run, step by step, with the console lines the user follows.
#include "image/opacity_transform.h"

#include "codec/image_codec.h"
#include "codec/png_plan.h"
#include "image/backup.h"
#include "image/image_lock.h"
#include "image/opacity.h"
#include "image/safe_replace.h"
#include "image/skin_files.h"

namespace image {
namespace {

// The widened file is read back at once and replaced soon after, so it is
// written for the round trip: unfiltered rows in stored deflate blocks, no
// compression to do and none to undo. The final file is planned per image.
constexpr PngPlan kWideningPlan{0, {0, 0, Deflater::libdeflate}};

struct Loaded {
  platform::ReadOutcome read = platform::ReadOutcome::failed;
  DecodeResult decoded = DecodeResult::unreadable;
  std::string error;
  bool ok() const { return decoded == DecodeResult::decoded; }
};

// Reads the image, saying nothing yet; `bytes` keeps the file as it was read.
// No file longer than any image the decoder takes is read.
Loaded read_image(platform::Files& files, const std::string& path,
                  std::vector<unsigned char>& bytes) {
  Loaded loaded;
  loaded.read = files.read_file(path, largest_image_file(), bytes, loaded.error);
  return loaded;
}

// Decodes what read_image gave, when it gave anything; true when it decoded.
bool decode_read(Loaded& loaded, const std::vector<unsigned char>& bytes,
                 DecodedImage& image) {
  if (loaded.read == platform::ReadOutcome::read) {
    loaded.decoded = decode_image(bytes.data(), bytes.size(), image);
  }
  return loaded.ok();
}

// Ends a load with "加载完成" and, when it gave no pixels, the true reason.
bool report_load(platform::Console& console, const Loaded& loaded,
                 const std::string& path) {
  console.line("加载完成");
  switch (loaded.read) {
    case platform::ReadOutcome::read:
      break;
    case platform::ReadOutcome::missing:
      report_missing_image(console, path);
      return false;
    case platform::ReadOutcome::in_use:
      console.line("图片正被其他程序使用，图片未作修改: ", path);
      console.line("请关闭正在使用它的程序后再运行。");
      return false;
    case platform::ReadOutcome::too_large:
      console.line("图片尺寸过大，无法处理: ", path);
      return false;
    case platform::ReadOutcome::failed:
      console.line("无法读取图片(文件缺失、不完整或不是图片): ", path);
      console.line("原因: ", loaded.error);
      return false;
  }
  switch (loaded.decoded) {
    case DecodeResult::decoded:
      return true;
    case DecodeResult::too_large:
      console.line("图片尺寸过大，无法处理: ", path);
      return false;
    case DecodeResult::unreadable:
      break;
  }
  console.line("无法读取图片(文件缺失、不完整或不是图片): ", path);
  return false;
}

bool save(platform::Files& files, platform::Console& console,
          const SkinFiles& names, const DecodedImage& image,
          const PngPlan& plan) {
  const std::string& path = names.image;
  EncodedPng png;
  if (!encode_png(image.pixels.get(), image.width, image.height, plan, png)) {
    console.line("内存不足，无法保存，图片保持原样: ", path);
    return false;
  }
  return replace_image(files, console, names, png.bytes.get(), png.size,
                       "保存失败，图片保持原样: ");
}

}  // namespace

bool rewrite_opacity(platform::Files& files, platform::Console& console,
                     const std::string& image_path) {
  const SkinFiles names = skin_files_for(image_path);
  std::unique_ptr<platform::HeldLock> lock;
  if (!lock_image(files, console, names, lock)) return false;
  remove_leftovers(files, names);
  // The image is read and decoded before anything is said, with the
  // backup checked beside it; the console then follows the steps in order.
  std::vector<unsigned char> original;
  DecodedImage image;
  Loaded first = read_image(files, image_path, original);
  const BackupState backup = inspect_backup(
      files, names, original, [&] { return decode_read(first, original, image); });
  if (backup == BackupState::not_a_file || backup == BackupState::broken) {
    report_unusable_backup(console, backup, names);
    return false;
  }
  // The backup is made from the very bytes that decoded, so it is a whole
  // image by construction, and it is announced only when it will be made.
  const bool backing_up = needs_backup(backup) && first.ok();
  if (backing_up) console.line("备份文件中");
  console.line("加载中..");
  if (!report_load(console, first, image_path)) return false;
  if (backing_up && !write_backup(files, console, names, original, backup)) {
    return false;
  }
  std::vector<unsigned char>().swap(original);
  const bool widened = image.file_channels != 4;
  if (widened) {
    console.line("转换格式中 24=>32...");
    if (!save(files, console, names, image, kWideningPlan)) return false;
    image.pixels.reset();
    console.line("转换中格式完成，重新加载中..");
    std::vector<unsigned char> widened_file;
    Loaded again = read_image(files, image_path, widened_file);
    decode_read(again, widened_file, image);
    if (!report_load(console, again, image_path)) return false;
  }

  console.line("输入不透明度(0-100)越小越透明(推荐50),回车确认");
  const OpacityReading reading = read_opacity(console);
  if (!reading.note.empty()) console.line(reading.note);
  if (reading.ended) {
    if (!widened) {
      console.line("没有输入不透明度，透明度未改变: ", image_path);
      return false;
    }
    console.line(
        "没有输入不透明度，透明度未改变，但图片已转换为四通道PNG格式保存: ",
        image_path);
    console.line("原图保存在备份中: ", names.backup);
    return false;
  }
  console.line("转换中...");
  set_alpha(image.pixels.get(), image.pixel_count(),
            alpha_for_opacity(reading.opacity));
  console.line("转换完成，保存中...");
  const PngPlan final_plan =
      choose_final_plan(image.pixels.get(), image.width, image.height);
  if (!save(files, console, names, image, final_plan)) return false;
  console.line("转换完毕，重启QQ生效！按任意退出");
  return true;
}

}  // namespace image
