// One transform run, step by step, with the console lines the user follows.
#include "image/opacity_transform.h"

#include "image/backup.h"
#include "image/image_lock.h"
#include "image/opacity.h"
#include "image/png_codec.h"
#include "image/png_plan.h"
#include "image/safe_replace.h"
#include "platform/console.h"

namespace image {
namespace {

// The widened file is read back at once and replaced soon after, so it is
// written for the round trip: unfiltered rows in stored deflate blocks, no
// compression to do and none to undo. The final file is planned per image.
constexpr PngPlan kWideningPlan{0, {0, 0, Deflater::libdeflate}};

// Reads the image; `bytes` keeps the file as it was read.
bool read_image(platform::Files& files, const std::string& path,
                std::vector<unsigned char>& bytes) {
  std::string error;
  if (files.read_file(path, bytes, error)) return true;
  bytes.clear();
  return false;
}

// Says how loading went; true when the image decoded.
bool report_load(DecodeResult result, const std::string& path) {
  platform::console_line("加载完成");
  switch (result) {
    case DecodeResult::decoded:
      return true;
    case DecodeResult::too_large:
      platform::console_line("图片尺寸过大，无法处理: ", path);
      return false;
    case DecodeResult::unreadable:
      break;
  }
  platform::console_line("无法读取图片(文件缺失、不完整或不是图片): ", path);
  return false;
}

// Reads and decodes the image; `bytes` keeps the file as it was read.
bool load(platform::Files& files, const std::string& path,
          std::vector<unsigned char>& bytes, DecodedImage& image) {
  const DecodeResult result =
      read_image(files, path, bytes)
          ? decode_image(bytes.data(), bytes.size(), image)
          : DecodeResult::unreadable;
  return report_load(result, path);
}

bool save(platform::Files& files, const std::string& path,
          const DecodedImage& image, const PngPlan& plan) {
  EncodedPng png;
  if (!encode_png(image.pixels.get(), image.width, image.height, plan, png)) {
    platform::console_line("内存不足，无法保存，图片保持原样: ", path);
    return false;
  }
  std::string error;
  if (!replace_contents(files, path, png.bytes.get(), png.size, error)) {
    platform::console_line("保存失败，图片保持原样: ", path);
    platform::console_line("原因: ", error);
    return false;
  }
  return true;
}

}  // namespace

bool rewrite_opacity(platform::Files& files, const std::string& image_path,
                     std::istream& input) {
  std::unique_ptr<platform::HeldLock> lock;
  if (!lock_image(files, image_path, lock)) return false;
  // The image is loaded before anything is said, beside the backup's check;
  // the console then follows the order of the steps as before.
  std::vector<unsigned char> original;
  DecodedImage image;
  DecodeResult loaded = DecodeResult::unreadable;
  const ImageLoad load_image{
      [&]() -> const std::vector<unsigned char>& {
        read_image(files, image_path, original);
        return original;
      },
      [&] {
        if (!original.empty()) {
          loaded = decode_image(original.data(), original.size(), image);
        }
        return loaded == DecodeResult::decoded;
      }};
  const BackupState backup = inspect_backup(files, image_path, load_image);
  if (backup == BackupState::not_a_file || backup == BackupState::broken) {
    report_unusable_backup(backup, image_path);
    return false;
  }
  if (needs_backup(backup)) platform::console_line("备份文件中");
  platform::console_line("加载中..");
  if (!report_load(loaded, image_path)) return false;
  // The backup is made from the very bytes that decoded, so it is a whole
  // image by construction.
  if (needs_backup(backup) &&
      !write_backup(files, image_path, original, backup)) {
    return false;
  }
  std::vector<unsigned char>().swap(original);
  if (image.file_channels != 4) {
    platform::console_line("转换格式中 24=>32...");
    if (!save(files, image_path, image, kWideningPlan)) return false;
    image.pixels.reset();
    platform::console_line("转换中格式完成，重新加载中..");
    std::vector<unsigned char> widened;
    if (!load(files, image_path, widened, image)) return false;
  }

  platform::console_line("输入不透明度(0-100)越小越透明(推荐50),回车确认");
  const OpacityReading reading = read_opacity(input);
  if (!reading.note.empty()) platform::console_line(reading.note);
  if (reading.ended) {
    platform::console_line("没有输入不透明度，透明度未改变: ", image_path);
    return false;
  }
  platform::console_line("转换中...");
  set_alpha(image.pixels.get(), image.pixel_count(),
            alpha_for_opacity(reading.opacity));
  platform::console_line("转换完成，保存中...");
  const PngPlan final_plan =
      choose_final_plan(image.pixels.get(), image.width, image.height);
  if (!save(files, image_path, image, final_plan)) return false;
  platform::console_line("转换完毕，重启QQ生效！按任意退出");
  return true;
}

}  // namespace image
