// The restart offer over recording fakes: what the console shows, which
// process is ended and which launcher is started.
#include "client/client_restart.h"

#include <gtest/gtest.h>

#include "fakes/fake_files.h"
#include "fakes/fake_services.h"

namespace {

const std::string kLauncher = "D:\\Tencent\\QQ\\Bin\\QQScLauncher.exe";

class ClientRestart : public ::testing::Test {
 protected:
  ClientRestart() {
    processes.processes = {{4, "System"}, {30, "QQ.exe"}, {44, "QQ.exe"}};
    processes.image_names[30] = {
        "\\Device\\HarddiskVolume2\\Tencent\\QQ\\Bin\\QQ.exe", true};
    processes.drives = {"A:\\", "C:\\", "D:\\"};
    processes.device_targets = {{"C:", "\\Device\\HarddiskVolume1"},
                                {"D:", "\\Device\\HarddiskVolume2"}};
    files.files[kLauncher] = {};
  }

  std::vector<std::string> run() {
    fakes::FakeConsole console;
    client::restart_client(processes, dialogs, shell, files, console);
    return console.lines();
  }

  // The client was left alone, and the console's last line says why.
  void expect_left_running(const std::vector<std::string>& lines,
                           const std::string& reason) {
    EXPECT_TRUE(processes.terminated.empty());
    EXPECT_TRUE(shell.started_programs.empty());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "找到进程: QQ.exe");
    EXPECT_EQ(lines.back().rfind("无法重启QQ: ", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find(reason), std::string::npos) << lines.back();
    EXPECT_NE(lines.back().find("QQ未关闭"), std::string::npos);
  }

  fakes::FakeProcesses processes;
  fakes::FakeDialogs dialogs;
  fakes::FakeShell shell;
  fakes::FakeFiles files;
};

TEST_F(ClientRestart, YesEndsTheFirstClientAndStartsItsLauncherOnce) {
  dialogs.answers = {true};
  const auto lines = run();
  EXPECT_EQ(lines,
            (std::vector<std::string>{"找到进程: QQ.exe",
                                      "进程路径: D:\\Tencent\\QQ\\Bin\\QQ.exe",
                                      "", "已关闭!"}));
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0].caption, "提示");
  EXPECT_EQ(dialogs.questions[0].text, "重启QQ之后生效，是否立即重启QQ？");
  EXPECT_EQ(processes.terminated, std::vector<unsigned long>{30});
  EXPECT_EQ(shell.started_programs, std::vector<std::string>{kLauncher});
  EXPECT_EQ(processes.queried_devices,
            (std::vector<std::string>{"C:", "D:"}));
}

TEST_F(ClientRestart, NoLeavesOnlyTheFoundProcessLine) {
  dialogs.answers = {false};
  EXPECT_EQ(run(), std::vector<std::string>{"找到进程: QQ.exe"});
  EXPECT_TRUE(processes.queried_images.empty());
  EXPECT_TRUE(processes.terminated.empty());
  EXPECT_TRUE(shell.started_programs.empty());
}

TEST_F(ClientRestart, WithoutAClientNothingIsShownOrAsked) {
  processes.processes = {{4, "qq.exe"}, {8, "QQ.exe.bak"}};
  EXPECT_TRUE(run().empty());
  EXPECT_TRUE(dialogs.questions.empty());

  processes.snapshot_ok = false;
  EXPECT_EQ(run(),
            std::vector<std::string>{"CreateToolhelp32Snapshot failed!"});
  EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(ClientRestart, AClientThatCannotBeOpenedToEndIsStillRelaunched) {
  processes.unopenable = {30};
  dialogs.answers = {true};
  const auto lines = run();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "进程路径: D:\\Tencent\\QQ\\Bin\\QQ.exe");
  EXPECT_EQ(shell.started_programs, std::vector<std::string>{kLauncher});
}

TEST_F(ClientRestart, AFullPathFromTheSystemIsUsedAsItStands) {
  processes.image_names[30] = {"/opt/tencent/QQ.exe", false};
  files.files["/opt/tencent/QQScLauncher.exe"] = {};
  dialogs.answers = {true};
  const auto lines = run();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "进程路径: /opt/tencent/QQ.exe");
  EXPECT_TRUE(processes.queried_devices.empty());
  EXPECT_EQ(shell.started_programs,
            std::vector<std::string>{"/opt/tencent/QQScLauncher.exe"});
}

TEST_F(ClientRestart, AnUnreadablePathLeavesTheClientRunning) {
  processes.image_names.clear();
  dialogs.answers = {true};
  const auto lines = run();
  expect_left_running(lines, "程序路径");
  EXPECT_EQ(lines.size(), 2u);
}

TEST_F(ClientRestart, APathLeftInDeviceFormLeavesTheClientRunning) {
  dialogs.answers = {true, true};
  processes.device_targets.erase("D:");
  auto lines = run();
  expect_left_running(lines, "\\Device\\HarddiskVolume2\\Tencent");
  EXPECT_EQ(lines.size(), 2u);  // no path line for a device path

  processes.drives_ok = false;
  lines = run();
  expect_left_running(lines, "盘符");
}

TEST_F(ClientRestart, APathWithoutTheClientNameLeavesTheClientRunning) {
  processes.image_names[30] = {"/opt/tencent/qq", false};
  dialogs.answers = {true};
  expect_left_running(run(), "QQ.exe");
}

TEST_F(ClientRestart, AMissingLauncherLeavesTheClientRunning) {
  files.files.clear();
  dialogs.answers = {true};
  const auto lines = run();
  expect_left_running(lines, "QQScLauncher.exe");
  EXPECT_EQ(lines[1], "进程路径: D:\\Tencent\\QQ\\Bin\\QQ.exe");
}

}  // namespace
