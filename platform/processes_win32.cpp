// Windows processes: Toolhelp snapshot, image names in device form, the
// drive-to-device table, and termination.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "platform/handle_win32.h"
#include "platform/processes.h"
#include "platform/text_win32.h"

namespace platform {

bool SystemProcesses::snapshot(std::vector<ProcessEntry>& out) {
  ScopedHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap.valid()) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snap.get(), &entry); more;
       more = Process32NextW(snap.get(), &entry)) {
    out.push_back({entry.th32ProcessID, to_utf8(entry.szExeFile)});
  }
  return true;
}

bool SystemProcesses::image_name(unsigned long id, ImageName& out) {
  ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
  if (!process.valid()) return false;
  wchar_t name[MAX_PATH] = {};
  if (K32GetProcessImageFileNameW(process.get(), name, MAX_PATH) == 0) {
    return false;
  }
  out = {to_utf8(name), true};
  return true;
}

bool SystemProcesses::drive_entries(std::vector<std::string>& out) {
  wchar_t drives[500] = {};
  const DWORD length = GetLogicalDriveStringsW(500, drives);
  if (length == 0 || length > 500) return false;
  for (const wchar_t* entry = drives; *entry != L'\0';
       entry += lstrlenW(entry) + 1) {
    out.push_back(to_utf8(entry));
  }
  return true;
}

bool SystemProcesses::device_target(const std::string& drive,
                                    std::string& target) {
  wchar_t buffer[100] = {};
  if (QueryDosDeviceW(to_utf16(drive).c_str(), buffer, 100) == 0) return false;
  target = to_utf8(buffer);
  return true;
}

TerminateOutcome SystemProcesses::terminate(unsigned long id) {
  ScopedHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id));
  if (!process.valid()) return TerminateOutcome::not_opened;
  TerminateProcess(process.get(), 0);
  return TerminateOutcome::requested;
}

void end_process(unsigned code) { ExitProcess(code); }

}  // namespace platform
