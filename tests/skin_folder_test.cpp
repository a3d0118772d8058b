// Choosing the skin in use: time ordering, the one-folder rule, the latest
// of several, and the failure handed back when a competing folder's time is
// unreadable.
#include "skin/skin_folder.h"

#include <gtest/gtest.h>

#include "fakes/fake_files.h"

namespace {

platform::LocalTime at(int year, int month, int day, int hour = 0,
                       int minute = 0, int second = 0, int ms = 0) {
  platform::LocalTime t;
  t.year = static_cast<std::uint16_t>(year);
  t.month = static_cast<std::uint16_t>(month);
  t.day = static_cast<std::uint16_t>(day);
  t.hour = static_cast<std::uint16_t>(hour);
  t.minute = static_cast<std::uint16_t>(minute);
  t.second = static_cast<std::uint16_t>(second);
  t.milliseconds = static_cast<std::uint16_t>(ms);
  return t;
}

TEST(TimeOrdering, ComparesMonthBeforeDay) {
  // 1 February is later than 31 January although its day number is smaller.
  EXPECT_TRUE(skin::is_earlier(at(2024, 1, 31, 23), at(2024, 2, 1)));
  EXPECT_FALSE(skin::is_earlier(at(2024, 2, 1), at(2024, 1, 31, 23)));
  EXPECT_TRUE(skin::is_earlier(at(2023, 12, 31), at(2024, 1, 1)));
}

TEST(TimeOrdering, EqualMonthsCompareEveryFieldDownToMilliseconds) {
  EXPECT_TRUE(skin::is_earlier(at(2024, 5, 3, 10), at(2024, 5, 3, 11)));
  EXPECT_TRUE(skin::is_earlier(at(2024, 5, 3, 10, 0, 0, 998),
                               at(2024, 5, 3, 10, 0, 0, 999)));
  EXPECT_TRUE(skin::is_earlier(at(2024, 5, 3, 10, 59, 59, 999),
                               at(2024, 5, 3, 11)));
  EXPECT_FALSE(skin::is_earlier(at(2024, 5, 3, 11), at(2024, 5, 3, 11)));
}

TEST(TimeOrdering, DayOfWeekTakesNoPart) {
  platform::LocalTime a = at(2024, 5, 3, 10);
  platform::LocalTime b = a;
  a.day_of_week = 6;
  b.day_of_week = 0;
  EXPECT_FALSE(skin::is_earlier(a, b));
  EXPECT_FALSE(skin::is_earlier(b, a));
}

TEST(TimeOrdering, KeysKeepTheirFixedWidths) {
  // The month key is 16-bit: year 5462 wraps below year 1.
  EXPECT_TRUE(skin::is_earlier(at(5462, 1, 1), at(1, 1, 1)));
  EXPECT_TRUE(skin::is_earlier(at(5460, 12, 1), at(5461, 1, 1)));
  // The largest time key (31 23:59:59.999) still fits in 32 bits.
  EXPECT_TRUE(skin::is_earlier(at(2024, 3, 31, 23, 59, 59, 998),
                               at(2024, 3, 31, 23, 59, 59, 999)));
  EXPECT_TRUE(skin::is_earlier(at(2024, 3, 1), at(2024, 3, 31, 23, 59, 59, 999)));
}

class SkinFolderSelection : public ::testing::Test {
 protected:
  std::string select(const std::string& root = "R") {
    std::string folder = "stale";
    platform::SystemFailure failure;
    EXPECT_TRUE(skin::select_skin_folder(root, files, folder, failure));
    return folder;
  }
  fakes::FakeFiles files;
};

TEST_F(SkinFolderSelection, NothingToChooseGivesEmpty) {
  EXPECT_EQ(select(), "");
  EXPECT_EQ(files.listed, std::vector<std::string>{"R"});
}

TEST_F(SkinFolderSelection, EmptyRootIsNeverSearched) {
  files.subfolders[""] = {"\\Windows", "\\Users"};
  EXPECT_EQ(select(""), "");
  EXPECT_TRUE(files.listed.empty());
}

TEST_F(SkinFolderSelection, OnlyFolderIsTakenWithoutReadingItsTime) {
  files.subfolders["R"] = {"R/only"};
  files.failing_times["R/only"] = {"CreateFileA()", 5};
  EXPECT_EQ(select(), "R/only");
  EXPECT_TRUE(files.timed.empty());
}

TEST_F(SkinFolderSelection, LatestOfSeveralWins) {
  files.subfolders["R"] = {"R/a", "R/b", "R/c"};
  files.times["R/a"] = at(2024, 1, 31, 12);
  files.times["R/b"] = at(2024, 2, 1, 9);
  files.times["R/c"] = at(2024, 2, 1, 8, 59, 59, 999);
  EXPECT_EQ(select(), "R/b");
  EXPECT_EQ(files.timed, (std::vector<std::string>{"R/a", "R/b", "R/c"}));

  files.times["R/a"] = at(2024, 2, 1, 11);
  EXPECT_EQ(select(), "R/a");
}

TEST_F(SkinFolderSelection, UnreadableTimeAmongSeveralIsHandedBack) {
  files.subfolders["R"] = {"R/a", "R/b"};
  files.failing_times["R/a"] = {"GetFileTime()", 32};
  std::string folder;
  platform::SystemFailure failure;
  EXPECT_FALSE(skin::select_skin_folder("R", files, folder, failure));
  EXPECT_EQ(failure.call, "GetFileTime()");
  EXPECT_EQ(failure.code, 32u);
  EXPECT_EQ(files.timed, std::vector<std::string>{"R/a"});
}

}  // namespace
