// Opacity input and the alpha pass.
#include "image/opacity.h"

#include <algorithm>
#include <cmath>

namespace image {
namespace {

// Input is UTF-8; hex escapes stay bytes whatever the literal encoding.
const std::string kIdeographicSpace = "\xE3\x80\x80";  // U+3000
const std::string kIdeographicStop = "\xE3\x80\x82";   // U+3002 "。"
const std::string kIdeographicComma = "\xE3\x80\x81";  // U+3001 "、"
// Full-width forms U+FF01..U+FF3F, as an input method types "+", "-", the
// digits, "%" and "，" in full-width mode: EF BC 81..BF, each twin of
// '!'..'_'.
const std::string kFullWidthLead = "\xEF\xBC";

// Fraction digits past these change no alpha; they are checked, not kept.
constexpr int kFractionDigitsKept = 6;

bool is_ascii_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool has_at(const std::string& line, std::size_t at, std::size_t end,
            const std::string& what) {
  return end - at >= what.size() && line.compare(at, what.size(), what) == 0;
}

// The character from `at` on (before `end`) as ASCII, with its length in
// bytes; full-width forms read as their ASCII twins, and the ideographic
// space, full stop and comma as ' ', '.' and ','.
char narrow_at(const std::string& line, std::size_t at, std::size_t end,
               std::size_t& length) {
  if (has_at(line, at, end, kFullWidthLead) && end - at >= 3) {
    const auto third = static_cast<unsigned char>(line[at + 2]);
    if (third >= 0x81 && third <= 0xBF) {
      length = 3;
      return static_cast<char>(third - 0x60);
    }
  }
  length = 3;
  if (has_at(line, at, end, kIdeographicSpace)) return ' ';
  if (has_at(line, at, end, kIdeographicStop)) return '.';
  if (has_at(line, at, end, kIdeographicComma)) return ',';
  length = 1;
  return line[at];
}

// What may follow the number: blanks, a percent sign and the punctuation
// that ends a typed sentence.
bool is_trailing(char c) {
  return is_ascii_blank(c) || c == ' ' || c == '%' || c == ',' || c == '.' ||
         c == ';' || c == '!' || c == '?';
}

OpacityReading not_a_number() {
  OpacityReading reading;
  reading.note = "输入的不是0-100的整数，按推荐值" +
                 std::to_string(kDefaultOpacity) + "处理";
  return reading;
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
  int whole = 0;
  for (; at < end; at += length) {
    const char c = narrow_at(line, at, end, length);
    if (c < '0' || c > '9') break;
    // Past 100 only the side matters; stopping here keeps it an int.
    whole = std::min(whole * 10 + (c - '0'), 1000);
    ++digits;
  }
  if (digits == 0) return not_a_number();
  double fraction = 0;
  double scale = 1;
  if (at < end && narrow_at(line, at, end, length) == '.') {
    std::size_t next = 0;
    const std::size_t after_point = at + length;
    if (after_point < end) {
      const char c = narrow_at(line, after_point, end, next);
      if (c >= '0' && c <= '9') {
        int fraction_digits = 0;
        for (at = after_point; at < end; at += length) {
          const char d = narrow_at(line, at, end, length);
          if (d < '0' || d > '9') break;
          if (++fraction_digits > kFractionDigitsKept) continue;
          fraction = fraction * 10 + (d - '0');
          scale *= 10;
        }
      }
    }
  }
  for (; at < end; at += length) {
    if (!is_trailing(narrow_at(line, at, end, length))) return not_a_number();
  }
  double value = whole + fraction / scale;
  if (negative) value = -value;
  OpacityReading reading;
  reading.opacity = std::clamp(value, 0.0, 100.0);
  if (reading.opacity != value) {
    reading.note = "不透明度超出0-100范围，按" +
                   std::to_string(static_cast<int>(reading.opacity)) + "处理";
  }
  return reading;
}

}  // namespace

OpacityReading read_opacity(platform::Console& console) {
  std::string line;
  for (;;) {
    const platform::LineRead read = console.read_line(kOpacityLineLimit, line);
    if (read == platform::LineRead::ended) break;
    if (read == platform::LineRead::too_long) {
      OpacityReading reading;
      reading.note = "输入的内容太长，已忽略，按推荐值" +
                     std::to_string(kDefaultOpacity) + "处理";
      return reading;
    }
    std::size_t begin = 0;
    std::size_t end = line.size();
    std::size_t length = 0;
    while (begin < end && (is_ascii_blank(line[begin]) ||
                           narrow_at(line, begin, end, length) == ' ')) {
      begin += is_ascii_blank(line[begin]) ? 1 : length;
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

std::uint8_t alpha_for_opacity(double opacity) {
  // NaN fails every comparison and lands on 0 like any low value.
  const double clamped = opacity >= 100 ? 100 : opacity > 0 ? opacity : 0;
  return static_cast<std::uint8_t>(std::floor(clamped * 255 / 100 + 0.5));
}

void set_alpha(unsigned char* rgba, std::size_t pixel_count,
               std::uint8_t alpha) {
  for (std::size_t i = 0; i < pixel_count; ++i) rgba[i * 4 + 3] = alpha;
}

}  // namespace image
