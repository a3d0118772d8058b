// Picking the client process and turning its device path into the launcher's
// drive path.
#include "client/client_locator.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using platform::ProcessEntry;

TEST(FindClientProcess, MatchesTheWholeNameWithItsCase) {
  const std::vector<ProcessEntry> near_misses = {{4, "qq.exe"},
                                                 {8, "QQ.EXE"},
                                                 {12, "QQ.exe.bak"},
                                                 {16, "QQ.ex"},
                                                 {20, "MyQQ.exe"}};
  EXPECT_EQ(client::find_client_process(near_misses), nullptr);
  EXPECT_EQ(client::find_client_process({}), nullptr);
}

TEST(FindClientProcess, TakesTheFirstOfTwoClients) {
  const std::vector<ProcessEntry> processes = {
      {4, "explorer.exe"}, {30, "QQ.exe"}, {9, "QQ.exe"}};
  const ProcessEntry* found = client::find_client_process(processes);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id, 30u);
}

class DriveMapping : public ::testing::Test {
 protected:
  platform::ImageName map(const std::string& path) {
    return client::to_drive_form(
        path, drives, [this](const std::string& drive, std::string& target) {
          queried.push_back(drive);
          auto found = targets.find(drive);
          if (found == targets.end()) return false;
          target = found->second;
          return true;
        });
  }

  std::vector<std::string> drives;
  std::map<std::string, std::string> targets;  // absent: the lookup fails
  std::vector<std::string> queried;
};

TEST_F(DriveMapping, ReplacesTheDeviceByTheDriveOfTheVolume) {
  drives = {"C:\\", "D:\\"};
  targets = {{"C:", "\\Device\\HarddiskVolume1"},
             {"D:", "\\Device\\HarddiskVolume2"}};
  const auto mapped = map(
      "\\Device\\HarddiskVolume2\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe");
  EXPECT_FALSE(mapped.device_form);
  EXPECT_EQ(mapped.path, "D:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe");
}

TEST_F(DriveMapping, NeverLooksUpTheFloppyDrives) {
  drives = {"A:\\", "b:\\", "C:\\"};
  targets = {{"A:", "\\Device\\Floppy0"},
             {"b:", "\\Device\\Floppy1"},
             {"C:", "\\Device\\HarddiskVolume1"}};
  const auto mapped = map("\\Device\\Floppy0\\QQ.exe");
  EXPECT_EQ(queried, std::vector<std::string>{"C:"});
  EXPECT_TRUE(mapped.device_form);
  EXPECT_EQ(mapped.path, "\\Device\\Floppy0\\QQ.exe");
}

TEST_F(DriveMapping, ATargetMatchesOnlyAWholePathComponent) {
  // Volume1 comes first and is a leading part of "Volume10", but it is
  // another volume.
  drives = {"C:\\", "E:\\"};
  targets = {{"C:", "\\Device\\HarddiskVolume1"},
             {"E:", "\\Device\\HarddiskVolume10"}};
  EXPECT_EQ(map("\\Device\\HarddiskVolume10\\QQ\\QQ.exe").path,
            "E:\\QQ\\QQ.exe");
  EXPECT_EQ(map("\\Device\\HarddiskVolume1\\QQ\\QQ.exe").path,
            "C:\\QQ\\QQ.exe");
  // The bare device with nothing after it names no file.
  EXPECT_TRUE(map("\\Device\\HarddiskVolume1").device_form);
}

TEST_F(DriveMapping, FoldsTheCaseOfAsciiLettersOnly) {
  drives = {"C:\\", "D:\\"};
  targets = {{"C:", "\\DEVICE\\\u00C4Volume"},
             {"D:", "\\device\\harddiskvolume3"}};
  const auto ascii = map("\\Device\\HarddiskVolume3\\Apps\\QQ.exe");
  EXPECT_FALSE(ascii.device_form);
  EXPECT_EQ(ascii.path, "D:\\Apps\\QQ.exe");
  // U+00C4 and U+00E4 are the same letter in two cases, but not ASCII.
  EXPECT_TRUE(map("\\Device\\\u00E4Volume\\QQ.exe").device_form);
  EXPECT_EQ(map("\\device\\\u00C4volume\\QQ.exe").path, "C:\\QQ.exe");
}

TEST_F(DriveMapping, PassesOverADriveWhoseLookupFails) {
  drives = {"C:\\", "D:\\", "E:\\"};
  targets = {{"C:", "\\Device\\HarddiskVolume1"},
             {"E:", "\\Device\\HarddiskVolume3"}};
  const auto mapped = map("\\Device\\HarddiskVolume3\\QQ.exe");
  EXPECT_EQ(queried, (std::vector<std::string>{"C:", "D:", "E:"}));
  EXPECT_FALSE(mapped.device_form);
  EXPECT_EQ(mapped.path, "E:\\QQ.exe");
}

TEST_F(DriveMapping, KeepsTheDeviceFormWhenNoDriveMatches) {
  const std::string path = "\\Device\\HarddiskVolume9\\QQ.exe";
  EXPECT_TRUE(map(path).device_form);  // no drives at all
  drives = {"C:\\"};
  targets = {{"C:", ""}};  // an empty target must not match everything
  EXPECT_TRUE(map(path).device_form);
  targets = {{"C:", "\\Device\\HarddiskVolume1"}};
  const auto mapped = map(path);
  EXPECT_TRUE(mapped.device_form);
  EXPECT_EQ(mapped.path, path);
}

TEST(LauncherPath, ReplacesOnlyTheLastClientName) {
  std::string launcher;
  ASSERT_TRUE(client::launcher_path("D:\\QQ.exe\\QQ\\Bin\\QQ.exe", launcher));
  EXPECT_EQ(launcher, "D:\\QQ.exe\\QQ\\Bin\\QQScLauncher.exe");
  ASSERT_TRUE(client::launcher_path("/opt/qq/QQ.exe", launcher));
  EXPECT_EQ(launcher, "/opt/qq/QQScLauncher.exe");
}

TEST(LauncherPath, NeedsTheExactClientName) {
  std::string launcher = "untouched";
  EXPECT_FALSE(client::launcher_path("", launcher));
  EXPECT_FALSE(client::launcher_path("C:\\Tencent\\qq.exe", launcher));
  EXPECT_EQ(launcher, "untouched");
}

}  // namespace
