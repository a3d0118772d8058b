// Whole transform runs on real files of every kind a skin may hold: the
// widening decision, colours kept, one alpha everywhere, an 8-bit RGBA PNG
// out, and the console lines in their order.
#include "image/opacity_transform.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "fakes/temp_folder.h"
#include "image_files.h"
#include "transform_runs.h"

namespace {

namespace fs = std::filesystem;
using testing_images::build_png;
using testing_images::Bytes;
using testing_images::noise;

constexpr int kW = 7;  // odd, so no row is a multiple of anything
constexpr int kH = 5;

struct Sample {
  const char* name;
  std::function<Bytes(const std::string& scratch)> make;
  int file_channels;
};

Bytes via_stb(const std::string& scratch, bool jpeg) {
  const Bytes rgb = noise(kW * kH * 3, 11);
  if (jpeg) {
    stbi_write_jpg(scratch.c_str(), kW, kH, 3, rgb.data(), 90);
  } else {
    stbi_write_bmp(scratch.c_str(), kW, kH, 3, rgb.data());
  }
  return testing_images::read_file(scratch);
}

const Bytes kPalette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 30, 60, 90};
Bytes indices() {
  Bytes rows = noise(kW * kH, 5);
  for (auto& b : rows) b %= 4;
  return rows;
}

const Sample kSamples[] = {
    {"rgb", [](auto&) { return build_png(kW, kH, 8, 2, noise(kW * kH * 3, 1)); }, 3},
    {"rgba_varied_alpha", [](auto&) { return build_png(kW, kH, 8, 6, noise(kW * kH * 4, 2)); }, 4},
    {"grey", [](auto&) { return build_png(kW, kH, 8, 0, noise(kW * kH, 3)); }, 1},
    {"grey_alpha", [](auto&) { return build_png(kW, kH, 8, 4, noise(kW * kH * 2, 4)); }, 2},
    {"palette", [](auto&) { return build_png(kW, kH, 8, 3, indices(), kPalette); }, 3},
    {"palette_trns", [](auto&) { return build_png(kW, kH, 8, 3, indices(), kPalette, {0, 128}); }, 4},
    {"grey_trns", [](auto&) { return build_png(kW, kH, 8, 0, noise(kW * kH, 6), {}, {0, 7}); }, 2},
    {"rgb_16bit", [](auto&) { return build_png(kW, kH, 16, 2, noise(kW * kH * 6, 7)); }, 3},
    {"rgba_16bit", [](auto&) { return build_png(kW, kH, 16, 6, noise(kW * kH * 8, 8)); }, 4},
    {"jpeg", [](auto& s) { return via_stb(s, true); }, 3},
    {"bmp", [](auto& s) { return via_stb(s, false); }, 3},
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

class EveryKindOfSkin : public ::testing::TestWithParam<Sample> {};

TEST_P(EveryKindOfSkin, EndsAsRgbaPngWithTheOldColoursAndOneAlpha) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  const Bytes original = GetParam().make(folder / "scratch");
  testing_images::write_file(image, original);
  const testing_images::Rgba before = testing_images::decode(image);
  ASSERT_EQ(before.file_channels, GetParam().file_channels);

  const transform_runs::Run run = transform_runs::transform(image, "30\n");
  ASSERT_TRUE(run.ok) << run.text();
  const bool widens = GetParam().file_channels != 4;
  EXPECT_EQ(run.lines, transform_runs::lines_of_success(true, widens));

  const Bytes written = testing_images::read_file(image);
  const testing_images::PngHeader header = testing_images::read_png_header(written);
  EXPECT_TRUE(header.is_png);
  EXPECT_EQ(header.bit_depth, 8);
  EXPECT_EQ(header.colour_type, 6);
  const testing_images::Rgba after = testing_images::decode(image);
  ASSERT_EQ(after.width, kW);
  ASSERT_EQ(after.height, kH);
  transform_runs::expect_colours_with_alpha(before, after, 77);
  EXPECT_EQ(testing_images::read_file(image + ".bak"), original);
  EXPECT_FALSE(fs::exists(image + ".tmp"));
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryKindOfSkin, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

struct TypedCase {
  const char* typed;
  int alpha;
  const char* note;  // the line shown after the prompt, or none
};

TEST(TypedOpacity, EachInputGivesItsAlphaAndSaysWhenNotUsedAsTyped) {
  const char* const not_a_number = "输入的不是0-100的整数，按推荐值50处理";
  const TypedCase cases[] = {
      {"0\n", 0, nullptr},
      {"100\n", 255, nullptr},
      {"150\n", 255, "不透明度超出0-100范围，按100处理"},
      {"-20\n", 0, "不透明度超出0-100范围，按0处理"},
      {"abc\n", 128, not_a_number},
      {"30 70\n", 128, not_a_number},
      {"99999999999\n", 255, "不透明度超出0-100范围，按100处理"},
      {"\n\n   64\n", 163, nullptr},
      // Full-width digits between ideographic spaces: "　６０　".
      {"\xE3\x80\x80\xEF\xBC\x96\xEF\xBC\x90\xE3\x80\x80\r\n", 153, nullptr},
  };
  for (const TypedCase& c : cases) {
    fakes::TempFolder folder;
    const std::string image = folder / "main.png";
    testing_images::write_file(image, build_png(kW, kH, 8, 2, noise(kW * kH * 3, 9)));
    const testing_images::Rgba before = testing_images::decode(image);
    const transform_runs::Run run = transform_runs::transform(image, c.typed);
    EXPECT_TRUE(run.ok) << c.typed << run.text();
    std::vector<std::string> expected = transform_runs::lines_of_success(true, true);
    if (c.note != nullptr) {
      const auto prompt = expected.begin() + transform_runs::lines_until_prompt(true, true).size();
      expected.insert(prompt, c.note);
    }
    EXPECT_EQ(run.lines, expected) << c.typed;
    transform_runs::expect_colours_with_alpha(before, testing_images::decode(image),
                                              c.alpha);
  }
}

TEST(TypedOpacity, ASecondRunSetsItsOwnAlphaAndKeepsTheFirstBackup) {
  fakes::TempFolder folder;
  const std::string image = folder / "main.png";
  const Bytes original = build_png(kW, kH, 8, 6, noise(kW * kH * 4, 10));
  testing_images::write_file(image, original);
  const testing_images::Rgba before = testing_images::decode(image);
  ASSERT_TRUE(transform_runs::transform(image, "10\n").ok);
  const transform_runs::Run second = transform_runs::transform(image, "90\n");
  EXPECT_TRUE(second.ok);
  EXPECT_EQ(second.lines, transform_runs::lines_of_success(false, false));
  transform_runs::expect_colours_with_alpha(before, testing_images::decode(image), 230);
  EXPECT_EQ(testing_images::read_file(image + ".bak"), original);
}

TEST(TypedOpacity, EndOfInputAtThePromptLeavesAThreeChannelImageWidened) {
  for (const int type : {6, 2}) {
    fakes::TempFolder folder;
    const std::string image = folder / "main.png";
    const int channels = type == 6 ? 4 : 3;
    const Bytes original = build_png(kW, kH, 8, type, noise(kW * kH * channels, 12));
    testing_images::write_file(image, original);
    const testing_images::Rgba before = testing_images::decode(image);

    const transform_runs::Run run = transform_runs::transform(image, "\n \n");
    EXPECT_FALSE(run.ok);
    std::vector<std::string> expected =
        transform_runs::lines_until_prompt(true, channels != 4);
    if (channels == 4) {
      expected.push_back("没有输入不透明度，透明度未改变: " + image);
    } else {
      expected.push_back(
          "没有输入不透明度，透明度未改变，但图片已转换为四通道PNG格式保存: " +
          image);
      expected.push_back("原图保存在备份中: " + image + ".bak");
    }
    EXPECT_EQ(run.lines, expected);
    if (channels == 4) {
      EXPECT_EQ(testing_images::read_file(image), original);
    } else {
      // Left whole in its widened state: the same picture, fully opaque.
      transform_runs::expect_colours_with_alpha(before, testing_images::decode(image),
                                                255);
    }
  }
}

}  // namespace
