// Which running process is the client, where its executable lies in drive
// form, and where its launcher lies. Plain decisions over plain data.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace client {

// The first process whose executable name is exactly "QQ.exe" (letter case
// and length included), or null when there is none.
const platform::ProcessEntry* find_client_process(
    const std::vector<platform::ProcessEntry>& processes);

// Stores the device name a drive ("C:") stands for; false when unreadable.
using DeviceLookup =
    std::function<bool(const std::string& drive, std::string& target)>;

// Turns a device-form path ("\Device\HarddiskVolume2\...") into a path on the
// first drive in `drives` ("C:\" entries, system order) whose device target
// is a whole leading component of it. Drives A and B are never looked up, and
// a drive whose lookup fails is passed over. When no drive matches, the path
// comes back unchanged, still in device form.
platform::ImageName to_drive_form(const std::string& device_path,
                                  const std::vector<std::string>& drives,
                                  const DeviceLookup& lookup);

// Stores in `launcher` the client path with its last "QQ.exe" replaced by
// "QQScLauncher.exe" and returns true; false when the path holds no "QQ.exe".
bool launcher_path(const std::string& client_path, std::string& launcher);

}  // namespace client
