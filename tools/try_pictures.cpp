// Pictures for scripts/try: a sample skin drawn here, so the demonstration
// needs no picture from elsewhere, and a preview of a skin before and after,
// each over a grey checkerboard the way image editors show transparency.
//   try_pictures sample OUT.png
//   try_pictures preview ORIGINAL.png RESULT.png OUT.png
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kSampleWidth = 400;
constexpr int kSampleHeight = 260;
constexpr int kGap = 16;        // between the two halves of the preview
constexpr int kCheckerCell = 8;
constexpr unsigned char kCheckerLight = 255;
constexpr unsigned char kCheckerDark = 204;
constexpr unsigned char kGapGrey = 72;
// Far beyond any skin; keeps the preview's row arithmetic inside int.
constexpr int kMaxSide = 16384;

struct Rgb {
  double r, g, b;
};

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // `channels` bytes a pixel, rows top down
  int channels = 4;
};

Picture blank_picture(int width, int height, int channels) {
  Picture p;
  p.width = width;
  p.height = height;
  p.channels = channels;
  p.pixels.assign(static_cast<std::size_t>(width) * height * channels, 255);
  return p;
}

unsigned char* pixel_at(Picture& p, int x, int y) {
  return &p.pixels[(static_cast<std::size_t>(y) * p.width + x) * p.channels];
}

// Mixes `colour` into the pixel by `coverage` (0..1), for soft edges.
void paint(Picture& p, int x, int y, Rgb colour, double coverage) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height || coverage <= 0) return;
  coverage = std::min(coverage, 1.0);
  unsigned char* px = pixel_at(p, x, y);
  const double c[3] = {colour.r, colour.g, colour.b};
  for (int i = 0; i < 3; ++i) {
    px[i] = static_cast<unsigned char>(
        std::lround(px[i] * (1 - coverage) + c[i] * coverage));
  }
}

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void fill_disc(Picture& p, double cx, double cy, double radius, Rgb colour) {
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      paint(p, x, y, colour, radius - d + 0.5);
    }
  }
}

void fill_rounded_box(Picture& p, int left, int top, int right, int bottom,
                      double radius, Rgb colour, double opacity) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      // Distance outside the box shrunk by the radius gives rounded corners.
      const double dx = std::max({left + radius - (x + 0.5), 0.0,
                                  x + 0.5 - (right - radius)});
      const double dy = std::max({top + radius - (y + 0.5), 0.0,
                                  y + 0.5 - (bottom - radius)});
      const double d = std::hypot(dx, dy);
      paint(p, x, y, colour, std::clamp(radius - d + 0.5, 0.0, 1.0) * opacity);
    }
  }
}

// Rows of short bars of varied length, which read as lines of words.
void fill_text_lines(Picture& p, int left, int top, int right, int rows,
                     Rgb colour, std::uint32_t seed) {
  for (int row = 0; row < rows; ++row) {
    const int y = top + row * 14;
    int x = left;
    while (x < right) {
      seed = seed * 1103515245u + 12345u;
      const int word = 8 + static_cast<int>((seed >> 16) % 30);
      if (x + word > right) break;
      fill_rounded_box(p, x, y, x + word, y + 6, 2, colour, 1.0);
      x += word + 5;
    }
  }
}

// An evening sky over hills with two chat bubbles: smooth gradients where a
// checkerboard shows clearly through, and fine detail that stays readable.
Picture draw_sample() {
  Picture p = blank_picture(kSampleWidth, kSampleHeight, 4);
  const Rgb top{36, 70, 160}, horizon{250, 150, 110};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const Rgb c = mix(top, horizon, y / double(p.height - 1));
      paint(p, x, y, mix(c, Rgb{150, 60, 170}, 0.3 * x / p.width), 1.0);
    }
  }
  fill_disc(p, 310, 96, 38, Rgb{255, 226, 110});
  const Rgb far_hill{70, 120, 110}, near_hill{30, 92, 64};
  for (int x = 0; x < p.width; ++x) {
    const double far = 190 + 18 * std::sin(x / 47.0);
    const double near = 215 + 14 * std::sin(x / 31.0 + 2);
    for (int y = 0; y < p.height; ++y) {
      paint(p, x, y, far_hill, y + 0.5 - far);
      paint(p, x, y, near_hill, y + 0.5 - near);
    }
  }
  fill_rounded_box(p, 22, 24, 210, 100, 10, Rgb{250, 250, 252}, 0.95);
  fill_text_lines(p, 36, 38, 196, 4, Rgb{60, 62, 76}, 7);
  fill_rounded_box(p, 170, 118, 370, 172, 10, Rgb{18, 150, 250}, 0.95);
  fill_text_lines(p, 184, 131, 356, 3, Rgb{255, 255, 255}, 11);
  return p;
}

struct StbImageFree {
  void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

// Reads any picture stb_image knows as RGBA; false with a message on failure.
bool load_rgba(const std::string& path, Picture& out) {
  int width = 0, height = 0, channels = 0;
  std::unique_ptr<unsigned char, StbImageFree> pixels(
      stbi_load(path.c_str(), &width, &height, &channels, 4));
  if (!pixels) {
    std::cerr << "无法读取图片: " << path << " (" << stbi_failure_reason()
              << ")\n";
    return false;
  }
  if (width > kMaxSide || height > kMaxSide) {
    std::cerr << "图片太大，无法预览: " << path << "\n";
    return false;
  }
  out.width = width;
  out.height = height;
  out.channels = 4;
  out.pixels.assign(pixels.get(),
                    pixels.get() + static_cast<std::size_t>(width) * height * 4);
  return true;
}

unsigned char checker_grey(int x, int y) {
  return ((x / kCheckerCell + y / kCheckerCell) % 2 == 0) ? kCheckerLight
                                                           : kCheckerDark;
}

// Draws `source` over the checkerboard into `out` with its left edge at
// `left`; the board is counted from the picture's own corner.
void draw_over_checkerboard(const Picture& source, Picture& out, int left) {
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      const unsigned char* in =
          &source.pixels[(static_cast<std::size_t>(y) * source.width + x) * 4];
      const int alpha = in[3];
      const int board = checker_grey(x, y);
      unsigned char* px = pixel_at(out, left + x, y);
      for (int i = 0; i < 3; ++i) {
        px[i] = static_cast<unsigned char>(
            (in[i] * alpha + board * (255 - alpha) + 127) / 255);
      }
    }
  }
}

bool save_png(const std::string& path, const Picture& p) {
  if (stbi_write_png(path.c_str(), p.width, p.height, p.channels,
                     p.pixels.data(), p.width * p.channels) == 0) {
    std::cerr << "无法写入图片: " << path << "\n";
    return false;
  }
  return true;
}

int write_preview(const std::string& original_path,
                  const std::string& result_path, const std::string& out_path) {
  Picture original, result;
  if (!load_rgba(original_path, original) || !load_rgba(result_path, result)) {
    return 1;
  }
  if (original.width != result.width || original.height != result.height) {
    std::cerr << "原图与结果大小不同: " << original_path << ", " << result_path
              << "\n";
    return 1;
  }
  Picture preview = blank_picture(2 * original.width + kGap, original.height, 3);
  std::fill(preview.pixels.begin(), preview.pixels.end(), kGapGrey);
  draw_over_checkerboard(original, preview, 0);
  draw_over_checkerboard(result, preview, original.width + kGap);
  return save_png(out_path, preview) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "sample") {
    return save_png(args[1], draw_sample()) ? 0 : 1;
  }
  if (args.size() == 4 && args[0] == "preview") {
    return write_preview(args[1], args[2], args[3]);
  }
  std::cerr << "用法: try_pictures sample 输出.png\n"
               "      try_pictures preview 原图.png 结果.png 输出.png\n";
  return 2;
}
