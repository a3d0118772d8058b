// The Windows build's text edge: UTF-8 inside, UTF-16 for the wide calls,
// GBK bytes with CR LF on pipes, and one line at a time from a pipe so the
// interpreter's "pause" still finds its key.
#include <gtest/gtest.h>

#include <istream>
#include <ostream>
#include <string>

#include "platform/console_win32.h"
#include "platform/handle_win32.h"
#include "platform/text_win32.h"
#include "fakes/temp_folder.h"

namespace {

// "获取" in GBK.
const std::string kGbkHuoQu = "\xbb\xf1\xc8\xa1";

TEST(TextConversions, Utf16RoundTripsEveryCharacter) {
  // An ideograph beyond the BMP needs a surrogate pair.
  const std::string text = "C:\\users\\张三\\𠀀\\한국어 & 100%";
  const std::wstring wide = platform::to_utf16(text);
  EXPECT_EQ(wide, L"C:\\users\\\u5f20\u4e09\\\U00020000\\\ud55c\uad6d\uc5b4 & 100%");
  EXPECT_EQ(platform::to_utf8(wide), text);
  EXPECT_EQ(platform::to_utf16(""), L"");
  EXPECT_EQ(platform::to_utf8(L""), "");
}

TEST(TextConversions, GbkHoldsChineseAndMarksWhatItLacks) {
  EXPECT_EQ(platform::utf8_to_gbk("获取 ok"), kGbkHuoQu + " ok");
  EXPECT_EQ(platform::gbk_to_utf8(kGbkHuoQu + " ok"), "获取 ok");
  EXPECT_EQ(platform::utf8_to_gbk("한"), "?");
  EXPECT_EQ(platform::gbk_to_utf8(platform::utf8_to_gbk("转换完毕，重启QQ生效！")),
            "转换完毕，重启QQ生效！");
}

struct Pipe {
  Pipe() { EXPECT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 1 << 16)); }
  ~Pipe() {
    if (read_end != nullptr) CloseHandle(read_end);
    close_writing();
  }
  void close_writing() {
    if (write_end != nullptr) CloseHandle(write_end);
    write_end = nullptr;
  }
  std::string drain() {
    close_writing();
    std::string out;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      out.append(buffer, got);
    }
    return out;
  }
  void put(const std::string& bytes) {
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(write_end, bytes.data(),
                          static_cast<DWORD>(bytes.size()), &done, nullptr));
    ASSERT_EQ(done, bytes.size());
  }
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
};

TEST(ConsoleOnAPipe, LinesLeaveAsGbkWithCrLf) {
  Pipe pipe;
  {
    platform::HandleOutputBuffer buffer(pipe.write_end);
    std::ostream out(&buffer);
    out << "获取" << std::flush;
    // A character cut between two writes is held back, not mangled.
    const std::string zhang = "张";
    out << zhang.substr(0, 1) << std::flush;
    out << zhang.substr(1) << "\n" << "한 x" << std::endl;
  }
  EXPECT_EQ(pipe.drain(), kGbkHuoQu + platform::utf8_to_gbk("张") + "\r\n? x\r\n");
}

TEST(ConsoleOnAPipe, InputArrivesAsUtf8OneLineAtATime) {
  Pipe pipe;
  pipe.put(kGbkHuoQu + "\r\n  30 \n" + "rest");
  platform::HandleInputBuffer buffer(pipe.read_end);
  std::istream in(&buffer);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "获取");
  // Nothing beyond the line was taken from the pipe.
  char peeked[64];
  DWORD available = 0;
  ASSERT_TRUE(PeekNamedPipe(pipe.read_end, peeked, sizeof peeked, &available,
                            nullptr, nullptr));
  EXPECT_EQ(std::string(peeked, available), "  30 \nrest");

  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "  30 ");
  pipe.close_writing();
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "rest");
  EXPECT_FALSE(std::getline(in, line));
}

// A line longer than one read arrives whole, a character cut between two
// reads included, and the file is left just after it for the next reader.
TEST(ConsoleOnAFile, ALongLineComesInPiecesAndNothingBeyondItIsTaken) {
  fakes::TempFolder folder;
  const std::string path = folder / "typed.txt";
  std::string long_line = "x";
  for (int i = 0; i < 50000; ++i) long_line += kGbkHuoQu;
  {
    const platform::ScopedHandle out(CreateFileW(platform::to_utf16(path).c_str(),
                                           GENERIC_WRITE, 0, nullptr,
                                           CREATE_NEW, 0, nullptr));
    const std::string bytes = long_line + "\r\n7\nrest";
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(out.get(), bytes.data(),
                          static_cast<DWORD>(bytes.size()), &done, nullptr));
  }
  const platform::ScopedHandle in(CreateFileW(platform::to_utf16(path).c_str(),
                                        GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  platform::HandleInputBuffer buffer(in.get());
  std::istream stream(&buffer);
  std::string line;
  ASSERT_TRUE(std::getline(stream, line));
  EXPECT_EQ(line, platform::gbk_to_utf8(long_line));
  ASSERT_TRUE(std::getline(stream, line));
  EXPECT_EQ(line, "7");
  LARGE_INTEGER zero{};
  LARGE_INTEGER at{};
  ASSERT_TRUE(SetFilePointerEx(in.get(), zero, &at, FILE_CURRENT));
  EXPECT_EQ(at.QuadPart, static_cast<LONGLONG>(long_line.size() + 4));
}

}  // namespace
