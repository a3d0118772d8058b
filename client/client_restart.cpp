// The restart offer. The client is only ended once the launcher that brings
// it back is known to exist, so a failed lookup never leaves the user with
// no client at all.
#include "client/client_restart.h"

#include <string>
#include <vector>

#include "client/client_locator.h"

namespace client {
namespace {

void report_left_running(platform::Console& console,
                         const std::string& reason) {
  console.write("无法重启QQ: " + reason + "。QQ未关闭，仍在运行。\n");
}

// The client's executable path in drive form, or false (with the reason
// already on the console) when none can be had.
bool client_drive_path(platform::Processes& processes,
                       platform::Console& console, unsigned long id,
                       std::string& path) {
  platform::ImageName image;
  if (!processes.image_name(id, image)) {
    report_left_running(console, "读取不到QQ的程序路径");
    return false;
  }
  if (image.device_form) {
    std::vector<std::string> drives;
    if (processes.drive_entries(drives)) {
      image = to_drive_form(
          image.path, drives,
          [&processes](const std::string& drive, std::string& target) {
            return processes.device_target(drive, target);
          });
    }
  }
  if (image.device_form) {
    report_left_running(console,
                        "找不到程序路径 " + image.path + " 所在的盘符");
    return false;
  }
  path = image.path;
  return true;
}

}  // namespace

void restart_client(platform::Processes& processes, platform::Dialogs& dialogs,
                    platform::Shell& shell, platform::Files& files,
                    platform::Console& console) {
  std::vector<platform::ProcessEntry> entries;
  // The same words on the host, whose listing is /proc: one text on both systems.
  if (!processes.snapshot(entries)) {
    console.write("CreateToolhelp32Snapshot failed!\n");
    return;
  }
  const platform::ProcessEntry* qq = find_client_process(entries);
  if (qq == nullptr) return;
  console.write("找到进程: " + qq->exe_name + "\n");
  if (dialogs.ask_yes_no("提示", "重启QQ之后生效，是否立即重启QQ？") !=
      platform::Answer::yes) {
    return;
  }

  std::string path;
  if (!client_drive_path(processes, console, qq->id, path)) return;
  console.write("进程路径: " + path + "\n\n");
  std::string launcher;
  if (!launcher_path(path, launcher)) {
    report_left_running(console, "程序路径中没有QQ.exe");
    return;
  }
  if (files.path_kind(launcher) != platform::PathKind::file) {
    report_left_running(console, "找不到启动程序 " + launcher);
    return;
  }

  if (processes.terminate(qq->id) == platform::TerminateOutcome::requested) {
    console.write("已关闭!\n");
  }
  // The old client may still be shutting down; the launch does not wait.
  shell.start_program(launcher);
}

}  // namespace client
