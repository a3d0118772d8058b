// The confirmation loop over fake shell and dialogs: what is shown, asked
// and read, in which order, and what the image path becomes.
#include "skin/confirm_image.h"

#include <gtest/gtest.h>

#include "fakes/fake_files.h"
#include "fakes/fake_services.h"
#include "platform/paths.h"
#include "skin/skin_root.h"

namespace {

class ConfirmImage : public ::testing::Test {
 protected:
  bool confirm(const std::string& typed, bool input_ends = false) {
    fakes::FakeConsole console(typed, input_ends);
    const bool confirmed =
        skin::confirm_image(path, shell, dialogs, files, console);
    lines = console.lines();
    std::getline(console.input >> std::ws, rest);
    return confirmed;
  }
  std::string root() const { return skin::skin_root_under(shell.appdata); }
  std::string image_in(const std::string& folder) const {
    return platform::join_path(folder, "main.png");
  }

  void give_image(const std::string& folder) { files.files[image_in(folder)]; }

  fakes::FakeShell shell;
  fakes::FakeDialogs dialogs;
  fakes::FakeFiles files;
  std::string path = "/skins/auto/main.png";
  std::vector<std::string> lines;
  std::string rest;  // what was left unread in the input
};

const std::string kFolderHint =
    "然后在下面输入文件夹路径,如:C:\\Users\\admin\\AppData\\Roaming\\Tencent"
    "\\QQ\\Skins\\customize\\F2BBEC5EE65C628D89B2BA212B0DEF8B，然后按下回车确认";

TEST_F(ConfirmImage, YesAtOnceKeepsThePathAndOpensNoFileManager) {
  dialogs.answers = {true};
  EXPECT_TRUE(confirm("50\n"));
  EXPECT_EQ(path, "/skins/auto/main.png");
  EXPECT_EQ(lines, std::vector<std::string>{"尝试打开图片/skins/auto/main.png"});
  EXPECT_EQ(shell.calls, std::vector<std::string>{"document:/skins/auto/main.png"});
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0].caption, "提示");
  EXPECT_EQ(dialogs.questions[0].text, "现在使用的图片是否正确？");
  EXPECT_EQ(rest, "50");
}

TEST_F(ConfirmImage, NoThenTypedFolderThenYes) {
  give_image("/skins/mine");
  dialogs.answers = {false, true};
  EXPECT_TRUE(confirm("/skins/mine\n50\n"));
  EXPECT_EQ(path, image_in("/skins/mine"));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "尝试打开图片/skins/auto/main.png",
                       "获取应用数据文件夹成功:" + root(),
                       "请分别打开文件夹找到你现在的皮肤文件夹",
                       kFolderHint,
                       "尝试打开图片" + image_in("/skins/mine"),
                   }));
  EXPECT_EQ(shell.calls, (std::vector<std::string>{
                             "document:/skins/auto/main.png",
                             "appdata",
                             "folder:" + root(),
                             "document:" + image_in("/skins/mine"),
                         }));
  EXPECT_EQ(rest, "50");
}

TEST_F(ConfirmImage, EveryNoOpensTheFileManagerAgain) {
  dialogs.answers = {false, false, false, true};
  EXPECT_TRUE(confirm("/a\n/b\n/c\n"));
  EXPECT_EQ(path, image_in("/c"));
  EXPECT_EQ(shell.opened_folders, (std::vector<std::string>(3, root())));
  EXPECT_EQ(shell.opened_documents,
            (std::vector<std::string>{"/skins/auto/main.png", image_in("/a"),
                                      image_in("/b"), image_in("/c")}));
  EXPECT_EQ(dialogs.questions.size(), 4u);
}

TEST_F(ConfirmImage, TypedLineIsTakenWholeWithQuotesAndBlanksTrimmed) {
  dialogs.answers = {false, true};
  EXPECT_TRUE(confirm("\n   \n  \"/home/li lei/skins/A B\"  \r\n42 7\n"));
  EXPECT_EQ(path, image_in("/home/li lei/skins/A B"));
  EXPECT_EQ(rest, "42 7");
}

TEST_F(ConfirmImage, TrailingSeparatorIsKeptAsTyped) {
  dialogs.answers = {false, true};
  EXPECT_TRUE(confirm("/skins/mine/\n"));
  EXPECT_EQ(path, "/skins/mine/" + image_in(""));
}

TEST_F(ConfirmImage, EndOfInputAtTheFolderPromptStopsWithoutAPath) {
  dialogs.answers = {false};
  EXPECT_FALSE(confirm("  \n\"\"\n", true));
  EXPECT_EQ(path, "/skins/auto/main.png");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "没有输入文件夹路径，图片未作任何修改");
  EXPECT_EQ(dialogs.questions.size(), 1u);
}

TEST_F(ConfirmImage, EndOfInputAtTheQuestionStopsBeforeTheFileManager) {
  dialogs.input_ends = true;
  EXPECT_FALSE(confirm(""));
  EXPECT_EQ(path, "/skins/auto/main.png");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "尝试打开图片/skins/auto/main.png",
                       "输入已结束，没有回答，图片未作任何修改",
                   }));
  EXPECT_TRUE(shell.opened_folders.empty());
}

std::string repeated(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Each typed line against the image path it leaves and the line said before
// the question comes again (none when the folder holds the image).
TEST_F(ConfirmImage, TypedPathsThatCannotBeTheSkinAreCaughtEarly) {
  give_image("/skins/mine");
  give_image("/skins/caps");
  const std::string caps = platform::join_path("/skins/caps", "MAIN.PNG");
  files.files[caps];  // the same file, where case is folded
  const std::string dir = image_in("/skins/dir");
  files.folders.insert(dir);
  const std::string none = image_in("/skins/none");
  const std::string too_long = "输入的路径太长(超过32767个字符)，已忽略";
  // U+20000: four bytes, two UTF-16 units. The longest path counts units.
  const std::string longest = "/" + repeated("\xF0\xA0\x80\x80", 16383);
  const struct {
    std::string typed;
    std::string image;  // the path after the answer
    std::string said;
  } rows[] = {
      // The image itself names its folder.
      {image_in("/skins/mine"), image_in("/skins/mine"), ""},
      {"\"" + caps + "\"", image_in("/skins/caps"), ""},
      {"/skins/empty", image_in("/skins/empty"),
       "这个文件夹里没有main.png: /skins/empty"},
      // Only a file called main.png is taken for the image.
      {dir, image_in(dir), "这个文件夹里没有main.png: " + dir},
      {none, image_in(none), "这个文件夹里没有main.png: " + none},
      {longest, image_in(longest), "这个文件夹里没有main.png: " + longest},
      // Longer than any path: dropped, and the image stays.
      {longest + "x", path, too_long},
      {"/" + std::string(skin::kLongestPath, 'a'), path, too_long},
      {std::string(4 * skin::kLongestPath + 1, 'b'), path, too_long},
  };
  const std::string first = path;
  for (const auto& row : rows) {
    path = first;
    dialogs.questions.clear();
    dialogs.answers = {false, true};
    EXPECT_TRUE(confirm(row.typed + "\nrest\n"));
    // Compared, not printed: some rows are 64 KiB long.
    EXPECT_TRUE(path == row.image) << row.typed.substr(0, 40);
    ASSERT_EQ(lines.size(), row.said.empty() ? 5u : 6u);
    if (!row.said.empty()) EXPECT_TRUE(lines[4] == row.said);
    EXPECT_TRUE(lines.back() == "尝试打开图片" + path);
    EXPECT_EQ(rest, "rest");
  }
}

TEST_F(ConfirmImage, FailedRootQueryStillAsksForAFolder) {
  shell.appdata_ok = false;
  dialogs.answers = {false, true};
  EXPECT_TRUE(confirm("/typed\n"));
  ASSERT_EQ(dialogs.notices.size(), 1u);
  EXPECT_EQ(dialogs.notices[0].caption, "获取皮肤文件夹失败");
  EXPECT_EQ(shell.opened_folders, std::vector<std::string>{""});
  EXPECT_EQ(path, image_in("/typed"));
}

TEST(TypedFolder, StripsOnlyOneEnclosingPairOfQuotes) {
  EXPECT_EQ(skin::typed_folder("\t\"\"x\"\" "), "\"x\"");
  EXPECT_EQ(skin::typed_folder("\"half"), "\"half");
  EXPECT_EQ(skin::typed_folder("a\"b\"c"), "a\"b\"c");
  EXPECT_EQ(skin::typed_folder("\""), "\"");
  EXPECT_EQ(skin::typed_folder(" \r\n"), "");
}

}  // namespace
