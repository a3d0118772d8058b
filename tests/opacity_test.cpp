// The transform's pure decisions: what a typed line yields and the alpha it
// maps to.
#include "image/opacity.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

namespace {

using image::OpacityInput;

struct Typed {
  OpacityInput kind;
  int opacity;
  std::string left;  // what the next read would meet
};

Typed type(const std::string& text) {
  std::istringstream in(text);
  int opacity = image::kDefaultOpacity;
  const OpacityInput kind = image::read_opacity(in, opacity);
  std::string left;
  std::getline(in, left, '\0');
  return {kind, opacity, left};
}

TEST(OpacityToAlpha, RoundsToNearestOverTheWholeRange) {
  EXPECT_EQ(image::alpha_for_opacity(0), 0);
  EXPECT_EQ(image::alpha_for_opacity(50), 128);  // 127.5
  EXPECT_EQ(image::alpha_for_opacity(100), 255);
  EXPECT_EQ(image::alpha_for_opacity(1), 3);     // 2.55
  EXPECT_EQ(image::alpha_for_opacity(30), 77);   // 76.5
  EXPECT_EQ(image::alpha_for_opacity(99), 252);  // 252.45
}

TEST(OpacityToAlpha, ClampsValuesOutsideZeroToHundred) {
  EXPECT_EQ(image::alpha_for_opacity(-1), 0);
  EXPECT_EQ(image::alpha_for_opacity(101), 255);
  EXPECT_EQ(image::alpha_for_opacity(INT_MIN), 0);
  EXPECT_EQ(image::alpha_for_opacity(INT_MAX), 255);
}

TEST(ReadingTheOpacity, TakesTheFirstNumberAndLeavesTheRestOfTheLine) {
  const Typed t = type("30 70\n");
  EXPECT_EQ(t.kind, OpacityInput::number);
  EXPECT_EQ(t.opacity, 30);
  EXPECT_EQ(t.left, " 70\n");
  EXPECT_EQ(type("12abc\n").left, "abc\n");
  EXPECT_EQ(type("-5\n").opacity, -5);
  EXPECT_EQ(type("+80").opacity, 80);
}

TEST(ReadingTheOpacity, SkipsBlanksAndEmptyLinesFirst) {
  const Typed t = type("\n\n  \t\n 42\n");
  EXPECT_EQ(t.kind, OpacityInput::number);
  EXPECT_EQ(t.opacity, 42);
}

TEST(ReadingTheOpacity, LettersKeepTheDefaultAndStayUnread) {
  const Typed t = type("abc 20\n");
  EXPECT_EQ(t.kind, OpacityInput::not_a_number);
  EXPECT_EQ(t.opacity, image::kDefaultOpacity);
  EXPECT_EQ(t.left, "abc 20\n");
}

TEST(ReadingTheOpacity, NumbersTooLargeForAnIntKeepTheDefault) {
  // The stream itself would store INT_MAX or INT_MIN: full opacity.
  for (const char* text : {"99999999999\n", "-99999999999\n", "99999999999"}) {
    const Typed t = type(text);
    EXPECT_EQ(t.kind, OpacityInput::not_a_number) << text;
    EXPECT_EQ(t.opacity, image::kDefaultOpacity) << text;
  }
}

TEST(ReadingTheOpacity, EndOfInputIsToldApartFromANonNumber) {
  EXPECT_EQ(type("").kind, OpacityInput::end_of_input);
  EXPECT_EQ(type(" \n\n").kind, OpacityInput::end_of_input);
  EXPECT_EQ(type("").opacity, image::kDefaultOpacity);
  // A number right at the end of input is still a number.
  EXPECT_EQ(type("64").kind, OpacityInput::number);
  EXPECT_EQ(type("-").kind, OpacityInput::not_a_number);
}

TEST(ReadingTheOpacity, AFailureLeftByAnEarlierReadDoesNotCount) {
  std::istringstream in("25\n");
  in.setstate(std::ios::failbit);
  int opacity = image::kDefaultOpacity;
  EXPECT_EQ(image::read_opacity(in, opacity), OpacityInput::number);
  EXPECT_EQ(opacity, 25);
}

}  // namespace
