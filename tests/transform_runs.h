// Running the transform under test with typed input and a recording console,
// and the line sequences and pixel checks its tests share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_services.h"
#include "image/opacity_transform.h"
#include "image_files.h"

namespace transform_runs {

struct Run {
  bool ok = false;
  std::vector<std::string> lines;
  std::string text() const {
    std::string all = "\n";
    for (const auto& line : lines) all += line + "\n";
    return all;
  }
};

inline Run transform(platform::Files& files, const std::string& image,
                     const std::string& typed) {
  // Only blank lines typed: the prompt is to find the end of input.
  const bool ends = typed.find_first_not_of(" \n") == std::string::npos;
  fakes::FakeConsole console(typed, ends);
  const bool ok = image::rewrite_opacity(files, console, image);
  return {ok, console.lines()};
}

// A run on real files.
inline Run transform(const std::string& image, const std::string& typed) {
  platform::SystemFiles files;
  return transform(files, image, typed);
}

inline std::vector<std::string> lines_until_prompt(bool backup, bool widens) {
  std::vector<std::string> lines;
  if (backup) lines.push_back("备份文件中");
  lines.insert(lines.end(), {"加载中..", "加载完成"});
  if (widens) {
    lines.insert(lines.end(), {"转换格式中 24=>32...",
                               "转换中格式完成，重新加载中..", "加载完成"});
  }
  lines.push_back("输入不透明度(0-100)越小越透明(推荐50),回车确认");
  return lines;
}

inline std::vector<std::string> lines_of_success(bool backup, bool widens) {
  std::vector<std::string> lines = lines_until_prompt(backup, widens);
  lines.insert(lines.end(), {"转换中...", "转换完成，保存中...",
                             "转换完毕，重启QQ生效！按任意退出"});
  return lines;
}

inline void expect_colours_with_alpha(const testing_images::Rgba& before,
                                      const testing_images::Rgba& after,
                                      int alpha) {
  ASSERT_EQ(after.pixels.size(), before.pixels.size());
  ASSERT_FALSE(after.pixels.empty());
  EXPECT_EQ(after.file_channels, 4);
  int wrong_colours = 0;
  int wrong_alphas = 0;
  for (std::size_t i = 0; i < after.pixels.size(); ++i) {
    if (i % 4 == 3) {
      wrong_alphas += after.pixels[i] != alpha;
    } else {
      wrong_colours += after.pixels[i] != before.pixels[i];
    }
  }
  EXPECT_EQ(wrong_colours, 0);
  EXPECT_EQ(wrong_alphas, 0) << "expected alpha " << alpha;
}

}  // namespace transform_runs
