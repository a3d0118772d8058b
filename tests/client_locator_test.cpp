// Picking the client process and turning its device path into the launcher's
// drive path.
#include "client/client_locator.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using platform::ProcessEntry;

TEST(FindClientProcess, MatchesTheWholeNameWithItsCase) {
  const std::vector<ProcessEntry> near_misses = {{4, L"qq.exe"},
                                                 {8, L"QQ.EXE"},
                                                 {12, L"QQ.exe.bak"},
                                                 {16, L"QQ.ex"},
                                                 {20, L"MyQQ.exe"}};
  EXPECT_EQ(client::find_client_process(near_misses), nullptr);
  EXPECT_EQ(client::find_client_process({}), nullptr);
}

TEST(FindClientProcess, TakesTheFirstOfTwoClients) {
  const std::vector<ProcessEntry> processes = {
      {4, L"explorer.exe"}, {30, L"QQ.exe"}, {9, L"QQ.exe"}};
  const ProcessEntry* found = client::find_client_process(processes);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id, 30u);
}

class DriveMapping : public ::testing::Test {
 protected:
  platform::ImageName map(const std::wstring& path) {
    return client::to_drive_form(
        path, drives, [this](const std::wstring& drive, std::wstring& target) {
          queried.push_back(drive);
          auto found = targets.find(drive);
          if (found == targets.end()) return false;
          target = found->second;
          return true;
        });
  }

  std::vector<std::wstring> drives;
  std::map<std::wstring, std::wstring> targets;  // absent: the lookup fails
  std::vector<std::wstring> queried;
};

TEST_F(DriveMapping, ReplacesTheDeviceByTheDriveOfTheVolume) {
  drives = {L"C:\\", L"D:\\"};
  targets = {{L"C:", L"\\Device\\HarddiskVolume1"},
             {L"D:", L"\\Device\\HarddiskVolume2"}};
  const auto mapped = map(
      L"\\Device\\HarddiskVolume2\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe");
  EXPECT_FALSE(mapped.device_form);
  EXPECT_EQ(mapped.path, L"D:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe");
}

TEST_F(DriveMapping, NeverLooksUpTheFloppyDrives) {
  drives = {L"A:\\", L"b:\\", L"C:\\"};
  targets = {{L"A:", L"\\Device\\Floppy0"},
             {L"b:", L"\\Device\\Floppy1"},
             {L"C:", L"\\Device\\HarddiskVolume1"}};
  const auto mapped = map(L"\\Device\\Floppy0\\QQ.exe");
  EXPECT_EQ(queried, std::vector<std::wstring>{L"C:"});
  EXPECT_TRUE(mapped.device_form);
  EXPECT_EQ(mapped.path, L"\\Device\\Floppy0\\QQ.exe");
}

TEST_F(DriveMapping, ATargetMatchesOnlyAWholePathComponent) {
  // Volume1 comes first and is a leading part of "Volume10", but it is
  // another volume.
  drives = {L"C:\\", L"E:\\"};
  targets = {{L"C:", L"\\Device\\HarddiskVolume1"},
             {L"E:", L"\\Device\\HarddiskVolume10"}};
  EXPECT_EQ(map(L"\\Device\\HarddiskVolume10\\QQ\\QQ.exe").path,
            L"E:\\QQ\\QQ.exe");
  EXPECT_EQ(map(L"\\Device\\HarddiskVolume1\\QQ\\QQ.exe").path,
            L"C:\\QQ\\QQ.exe");
  // The bare device with nothing after it names no file.
  EXPECT_TRUE(map(L"\\Device\\HarddiskVolume1").device_form);
}

TEST_F(DriveMapping, FoldsTheCaseOfAsciiLettersOnly) {
  drives = {L"C:\\", L"D:\\"};
  targets = {{L"C:", L"\\DEVICE\\\u00C4Volume"},
             {L"D:", L"\\device\\harddiskvolume3"}};
  const auto ascii = map(L"\\Device\\HarddiskVolume3\\Apps\\QQ.exe");
  EXPECT_FALSE(ascii.device_form);
  EXPECT_EQ(ascii.path, L"D:\\Apps\\QQ.exe");
  // U+00C4 and U+00E4 are the same letter in two cases, but not ASCII.
  EXPECT_TRUE(map(L"\\Device\\\u00E4Volume\\QQ.exe").device_form);
  EXPECT_EQ(map(L"\\device\\\u00C4volume\\QQ.exe").path, L"C:\\QQ.exe");
}

TEST_F(DriveMapping, PassesOverADriveWhoseLookupFails) {
  drives = {L"C:\\", L"D:\\", L"E:\\"};
  targets = {{L"C:", L"\\Device\\HarddiskVolume1"},
             {L"E:", L"\\Device\\HarddiskVolume3"}};
  const auto mapped = map(L"\\Device\\HarddiskVolume3\\QQ.exe");
  EXPECT_EQ(queried, (std::vector<std::wstring>{L"C:", L"D:", L"E:"}));
  EXPECT_FALSE(mapped.device_form);
  EXPECT_EQ(mapped.path, L"E:\\QQ.exe");
}

TEST_F(DriveMapping, KeepsTheDeviceFormWhenNoDriveMatches) {
  const std::wstring path = L"\\Device\\HarddiskVolume9\\QQ.exe";
  EXPECT_TRUE(map(path).device_form);  // no drives at all
  drives = {L"C:\\"};
  targets = {{L"C:", L""}};  // an empty target must not match everything
  EXPECT_TRUE(map(path).device_form);
  targets = {{L"C:", L"\\Device\\HarddiskVolume1"}};
  const auto mapped = map(path);
  EXPECT_TRUE(mapped.device_form);
  EXPECT_EQ(mapped.path, path);
}

TEST(LauncherPath, ReplacesOnlyTheLastClientName) {
  std::wstring launcher;
  ASSERT_TRUE(client::launcher_path(L"D:\\QQ.exe\\QQ\\Bin\\QQ.exe", launcher));
  EXPECT_EQ(launcher, L"D:\\QQ.exe\\QQ\\Bin\\QQScLauncher.exe");
  ASSERT_TRUE(client::launcher_path(L"/opt/qq/QQ.exe", launcher));
  EXPECT_EQ(launcher, L"/opt/qq/QQScLauncher.exe");
}

TEST(LauncherPath, NeedsTheExactClientName) {
  std::wstring launcher = L"untouched";
  EXPECT_FALSE(client::launcher_path(L"", launcher));
  EXPECT_FALSE(client::launcher_path(L"C:\\Tencent\\qq.exe", launcher));
  EXPECT_EQ(launcher, L"untouched");
}

}  // namespace
