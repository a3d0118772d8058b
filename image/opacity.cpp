// Opacity input and the alpha pass.
#include "image/opacity.h"

#include <algorithm>

namespace image {
namespace {

// Input is UTF-8; hex escapes stay bytes whatever the literal encoding.
const std::string kIdeographicSpace = "\xE3\x80\x80";  // U+3000
// Full-width forms U+FF01..U+FF3F, as an input method types "+", "-" and
// the digits in full-width mode: EF BC 81..BF, each twin of '!'..'_'.
const std::string kFullWidthLead = "\xEF\xBC";

bool is_ascii_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The character from `at` on (before `end`) as ASCII, with its length in
// bytes; full-width forms read as their ASCII twins.
char narrow_at(const std::string& line, std::size_t at, std::size_t end,
               std::size_t& length) {
  if (at + 3 <= end && line.compare(at, 2, kFullWidthLead) == 0) {
    const auto third = static_cast<unsigned char>(line[at + 2]);
    if (third >= 0x81 && third <= 0xBF) {
      length = 3;
      return static_cast<char>(third - 0x60);
    }
  }
  length = 1;
  return line[at];
}

// The number in line[begin, end), which holds no blank at either end.
OpacityReading reading_of(const std::string& line, std::size_t begin,
                          std::size_t end) {
  std::size_t at = begin;
  std::size_t length = 0;
  const char first = narrow_at(line, at, end, length);
  const bool negative = first == '-';
  if (first == '+' || first == '-') at += length;
  int digits = 0;
  int value = 0;
  for (; at < end; at += length) {
    const char c = narrow_at(line, at, end, length);
    if (c < '0' || c > '9') break;
    // Past 100 only the side matters; stopping here keeps it an int.
    value = std::min(value * 10 + (c - '0'), 1000);
    ++digits;
  }
  OpacityReading reading;
  if (digits == 0 || at != end) {
    reading.note = "输入的不是0-100的整数，按推荐值" +
                   std::to_string(kDefaultOpacity) + "处理";
    return reading;
  }
  if (negative) value = -value;
  reading.opacity = std::clamp(value, 0, 100);
  if (reading.opacity != value) {
    reading.note = "不透明度超出0-100范围，按" +
                   std::to_string(reading.opacity) + "处理";
  }
  return reading;
}

}  // namespace

OpacityReading read_opacity(std::istream& input) {
  input.clear(input.rdstate() & ~std::ios::failbit);
  std::string line;
  while (std::getline(input, line)) {
    std::size_t begin = 0;
    std::size_t end = line.size();
    while (begin < end) {
      if (is_ascii_blank(line[begin])) {
        ++begin;
      } else if (line.compare(begin, 3, kIdeographicSpace) == 0) {
        begin += 3;
      } else {
        break;
      }
    }
    while (end > begin) {
      if (is_ascii_blank(line[end - 1])) {
        --end;
      } else if (end - begin >= 3 &&
                 line.compare(end - 3, 3, kIdeographicSpace) == 0) {
        end -= 3;
      } else {
        break;
      }
    }
    if (begin < end) return reading_of(line, begin, end);
  }
  OpacityReading reading;
  reading.ended = true;
  return reading;
}

std::uint8_t alpha_for_opacity(int opacity) {
  const int clamped = std::clamp(opacity, 0, 100);
  return static_cast<std::uint8_t>((clamped * 255 + 50) / 100);
}

void set_alpha(unsigned char* rgba, std::size_t pixel_count,
               std::uint8_t alpha) {
  for (std::size_t i = 0; i < pixel_count; ++i) rgba[i * 4 + 3] = alpha;
}

}  // namespace image
