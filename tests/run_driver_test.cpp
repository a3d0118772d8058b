// The order of one run as the console shows it.
#include "app/run_driver.h"

#include <gtest/gtest.h>

#include "fakes/fake_files.h"
#include "fakes/fake_services.h"
#include "image_files.h"
#include "platform/paths.h"
#include "skin/skin_root.h"

namespace {

using testing_images::Bytes;

class RunDriver : public ::testing::Test {
 protected:
  // The lines of one run, up to the final pause, which every run ends with.
  std::vector<std::string> run(const std::string& typed = "",
                               app::RunMode mode = app::RunMode::transform) {
    fakes::FakeConsole console(typed);
    console.pause_expected = true;
    EXPECT_EQ(app::run_tool({shell, dialogs, files, processes, console}, mode), 0);
    std::vector<std::string> lines = console.lines();
    EXPECT_EQ(lines.empty() ? "" : lines.back(), "[pause]");
    if (!lines.empty()) lines.pop_back();
    return lines;
  }
  std::string root() const { return skin::skin_root_under(shell.appdata); }

  fakes::FakeShell shell;
  fakes::FakeDialogs dialogs;
  fakes::FakeFiles files;
  fakes::FakeProcesses processes;
};

TEST_F(RunDriver, NoSkinFolderGivesTheHintAndPauses) {
  const auto lines = run();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Made By OXT");
  EXPECT_EQ(lines[1], "获取应用数据文件夹成功:" + root());
  EXPECT_EQ(lines[2], "请先更换自定义皮肤之后再使用此功能");
  EXPECT_TRUE(shell.opened_documents.empty());
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(processes.snapshots, 0);
}

TEST_F(RunDriver, FailedAppdataQueryShowsTheBoxAndSearchesNothing) {
  shell.appdata_ok = false;
  const auto lines = run();
  ASSERT_EQ(dialogs.notices.size(), 1u);
  EXPECT_EQ(dialogs.notices[0].caption, "获取皮肤文件夹失败");
  EXPECT_TRUE(files.listed.empty());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "请先更换自定义皮肤之后再使用此功能");
}

TEST_F(RunDriver, RestartIsOfferedOnlyAfterTheImageWasRewritten) {
  // The chosen folder has no main.png: nothing can be backed up or decoded.
  const std::string skin = root() + "/skin";
  files.subfolders[root()] = {skin};
  processes.processes = {{7, "QQ.exe"}};
  dialogs.answers = {true};
  const auto lines = run("50\n");
  EXPECT_EQ(lines[2], "已找到图片:" + platform::join_path(skin, "main.png"));
  EXPECT_EQ(processes.snapshots, 0);
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_TRUE(files.files.empty());
}

TEST_F(RunDriver, RestoreBringsBackTheBackupAndOffersTheRestart) {
  const std::string skin = root() + "/skin";
  const std::string image = platform::join_path(skin, "main.png");
  const Bytes original = testing_images::build_png(4, 4, 8, 2, Bytes(48, 9));
  files.subfolders[root()] = {skin};
  files.files[image] = Bytes(100, 'x');
  files.files[image + ".bak"] = original;
  processes.processes = {{7, "QQ.exe"}};
  dialogs.answers = {true, false};
  const auto lines = run("", app::RunMode::restore);
  EXPECT_EQ(files.files, (std::map<std::string, Bytes>{
                             {image, original}, {image + ".bak", original}}));
  ASSERT_EQ(dialogs.questions.size(), 2u);
  EXPECT_EQ(dialogs.questions[1].text, "重启QQ之后生效，是否立即重启QQ？");
  EXPECT_EQ(lines.back(), "找到进程: QQ.exe");
  EXPECT_EQ(lines[lines.size() - 2], "已用备份恢复原图，重启QQ生效: " + image);
}

TEST_F(RunDriver, UsageIsPrintedAloneWithoutThePause) {
  fakes::FakeConsole console;
  EXPECT_EQ(app::run_tool({shell, dialogs, files, processes, console},
                          app::RunMode::usage), 0);
  EXPECT_EQ(console.lines(), app::usage_lines());
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(files.listed.empty());
}

TEST(RunMode, SwitchesInEitherSpellingOthersIgnored) {
  using app::RunMode;
  const std::pair<std::vector<std::string>, RunMode> cases[] = {
      {{}, RunMode::transform},           {{"--restore"}, RunMode::restore},
      {{"/Restore"}, RunMode::restore},   {{"/?"}, RunMode::usage},
      {{"--help"}, RunMode::usage},       {{"--restore", "/?"}, RunMode::usage},
      // A dropped file, and switches the program does not know.
      {{"D:\\皮肤 & x\\main.png", "-restore", "/restore:x"}, RunMode::transform},
  };
  for (const auto& [arguments, mode] : cases) {
    EXPECT_EQ(app::run_mode(arguments), mode) << ::testing::PrintToString(arguments);
  }
}

using RunDriverDeathTest = RunDriver;

TEST_F(RunDriverDeathTest, UncomparableSkinFoldersEndTheProgramWithTheErrorBox) {
  files.subfolders[root()] = {"a", "b"};
  files.failing_times["a"] = {"GetFileTime()", 32};
  // The program ends inside the child; the box is reported on standard
  // error so the parent can see its caption and text.
  struct ReportingDialogs : fakes::FakeDialogs {
    void show_notice(const std::string& caption,
                     const std::string& text) override {
      std::cerr << "[" << caption << "|" << text << "]";
    }
  } reporting;
  fakes::FakeConsole console;
  EXPECT_EXIT(app::run_tool({shell, reporting, files, processes, console}),
              ::testing::ExitedWithCode(32),
              "\\[Error\\|GetFileTime\\(\\) failed: GetLastError returned 32\n\\]");
}

}  // namespace
