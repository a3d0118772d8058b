// The transform's pure decisions: what a typed line yields and the alpha it
// maps to.
#include "image/opacity.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "fakes/fake_services.h"

namespace {

// The notes the user sees when the typed line is not used as typed.
const std::string kNotANumber = "输入的不是0-100的整数，按推荐值50处理";
const std::string kClampedTo0 = "不透明度超出0-100范围，按0处理";
const std::string kClampedTo100 = "不透明度超出0-100范围，按100处理";
const std::string kTooLong = "输入的内容太长，已忽略，按推荐值50处理";

// UTF-8 of what an input method types in full-width mode.
#define IDEOGRAPHIC_SPACE "\xE3\x80\x80"
#define FW_PLUS "\xEF\xBC\x8B"
#define FW_MINUS "\xEF\xBC\x8D"
#define FW_DOT "\xEF\xBC\x8E"
#define FW_0 "\xEF\xBC\x90"
#define FW_1 "\xEF\xBC\x91"
#define FW_3 "\xEF\xBC\x93"
#define FW_5 "\xEF\xBC\x95"
#define FW_6 "\xEF\xBC\x96"
#define FW_PERCENT "\xEF\xBC\x85"
#define FW_COMMA "\xEF\xBC\x8C"
#define IDEOGRAPHIC_STOP "\xE3\x80\x82"

struct Typed {
  std::string text;
  bool ended;
  double opacity;
  const std::string& note;
};

const std::string kNoNote;

TEST(OpacityToAlpha, RoundsToNearestOverTheWholeRange) {
  EXPECT_EQ(image::alpha_for_opacity(0), 0);
  EXPECT_EQ(image::alpha_for_opacity(50), 128);  // 127.5
  EXPECT_EQ(image::alpha_for_opacity(100), 255);
  EXPECT_EQ(image::alpha_for_opacity(1), 3);     // 2.55
  EXPECT_EQ(image::alpha_for_opacity(30), 77);   // 76.5
  EXPECT_EQ(image::alpha_for_opacity(99), 252);  // 252.45
  // A fraction is rounded once, at the alpha.
  EXPECT_EQ(image::alpha_for_opacity(25.5), 65);   // 65.025
  EXPECT_EQ(image::alpha_for_opacity(0.2), 1);     // 0.51
  EXPECT_EQ(image::alpha_for_opacity(0.19), 0);    // 0.4845
  EXPECT_EQ(image::alpha_for_opacity(30.2), 77);   // 77.01
}

TEST(OpacityToAlpha, ClampsValuesOutsideZeroToHundred) {
  EXPECT_EQ(image::alpha_for_opacity(-1), 0);
  EXPECT_EQ(image::alpha_for_opacity(101), 255);
  EXPECT_EQ(image::alpha_for_opacity(INT_MIN), 0);
  EXPECT_EQ(image::alpha_for_opacity(INT_MAX), 255);
}

TEST(ReadingTheOpacity, EachLineGivesItsValueAndNote) {
  const Typed cases[] = {
      // Used as typed.
      {"30\n", false, 30, kNoNote},
      {"0\n", false, 0, kNoNote},
      {"100\n", false, 100, kNoNote},
      {"+80", false, 80, kNoNote},  // no line end before the input ends
      {"-0\n", false, 0, kNoNote},
      {"0000000000000000000042\n", false, 42, kNoNote},
      {" \t 42 \r\n", false, 42, kNoNote},
      {"\n\n  \t\r\n" IDEOGRAPHIC_SPACE "\n 42\n", false, 42, kNoNote},
      {IDEOGRAPHIC_SPACE FW_6 FW_0 IDEOGRAPHIC_SPACE "\n", false, 60, kNoNote},
      {FW_PLUS FW_1 FW_0 FW_0 "\n", false, 100, kNoNote},
      {FW_3 "5\n", false, 35, kNoNote},
      // As people type it: a fraction, a percent sign, closing punctuation.
      {"25.5\n", false, 25.5, kNoNote},
      {"30.5\n", false, 30.5, kNoNote},
      {FW_3 FW_0 FW_DOT FW_5 "\n", false, 30.5, kNoNote},
      {"0.125\n", false, 0.125, kNoNote},
      {"33.3333333333\n", false, 33.333333, kNoNote},
      {"50%\n", false, 50, kNoNote},
      {"30 %\n", false, 30, kNoNote},
      {"30" FW_COMMA "\n", false, 30, kNoNote},
      {FW_5 FW_0 FW_PERCENT "\n", false, 50, kNoNote},
      {"40%" IDEOGRAPHIC_STOP "\n", false, 40, kNoNote},
      {"70.\n", false, 70, kNoNote},
      {"20" IDEOGRAPHIC_SPACE "%!\n", false, 20, kNoNote},
      // Clamped, however far outside.
      {"150\n", false, 100, kClampedTo100},
      {"101", false, 100, kClampedTo100},
      {"-5\n", false, 0, kClampedTo0},
      {FW_MINUS FW_5 "\n", false, 0, kClampedTo0},
      {"99999999999\n", false, 100, kClampedTo100},
      {"-99999999999999999999999\n", false, 0, kClampedTo0},
      // Not a whole number: the recommended value.
      {"abc\n", false, 50, kNotANumber},
      {"0x40\n", false, 50, kNotANumber},
      {"1e2\n", false, 50, kNotANumber},
      {"100.5\n", false, 100, kClampedTo100},
      {"-0.5%\n", false, 0, kClampedTo0},
      {"%50\n", false, 50, kNotANumber},
      {"50%x\n", false, 50, kNotANumber},
      {".5\n", false, 50, kNotANumber},
      {"30.5.5\n", false, 50, kNotANumber},
      {"30.x\n", false, 50, kNotANumber},
      {"50 %-\n", false, 50, kNotANumber},
      {"30 40\n", false, 50, kNotANumber},
      {"12abc\n", false, 50, kNotANumber},
      {"-\n", false, 50, kNotANumber},
      {"--5\n", false, 50, kNotANumber},
      {"5-\n", false, 50, kNotANumber},
      {"\xEF\xBC\n", false, 50, kNotANumber},  // a full-width form cut short
      // Longer than any answer: dropped whole, never held in memory.
      {std::string(257, '4') + "\n", false, 50, kTooLong},
      {"  " + std::string(300000, '1'), false, 50, kTooLong},
      // No line that is not blank.
      {"", true, 50, kNoNote},
      {" \n\n", true, 50, kNoNote},
      {"\t" IDEOGRAPHIC_SPACE "\r\n", true, 50, kNoNote},
  };
  for (const Typed& c : cases) {
    fakes::FakeConsole in(c.text, c.ended);
    const image::OpacityReading r = image::read_opacity(in);
    EXPECT_EQ(r.ended, c.ended) << c.text.substr(0, 40);
    EXPECT_NEAR(r.opacity, c.opacity, 1e-9) << c.text.substr(0, 40);
    EXPECT_EQ(r.note, c.note) << c.text.substr(0, 40);
  }
}

TEST(ReadingTheOpacity, TakesTheWholeLineAndNoMore) {
  fakes::FakeConsole in("\n  \n30 40\n" + std::string(1000, 'x') +
                        "\n55\n\nnext\n");
  EXPECT_EQ(image::read_opacity(in).note, kNotANumber);
  EXPECT_EQ(image::read_opacity(in).note, kTooLong);
  EXPECT_EQ(image::read_opacity(in).opacity, 55);
  std::string left;
  std::getline(in.input, left, '\0');
  EXPECT_EQ(left, "\nnext\n");
}

TEST(ReadingTheOpacity, AFailureLeftByAnEarlierReadDoesNotCount) {
  fakes::FakeConsole in("25\n");
  in.input.setstate(std::ios::failbit);
  const image::OpacityReading r = image::read_opacity(in);
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.opacity, 25);
}

}  // namespace
