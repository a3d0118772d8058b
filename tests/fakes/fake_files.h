// An in-memory file system with a knob per failure a real disk gives rarely:
// a write that breaks off, a move that is refused, a lock held elsewhere, and
// a process killed at any chosen call.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace fakes {

// Thrown where the fake "kills" the run; what the files hold then is what a
// killed process would leave.
struct Killed {};

class FakeFiles : public platform::Files {
 public:
  using Bytes = std::vector<unsigned char>;

  std::map<std::string, Bytes> files;
  std::set<std::string> folders;  // things that are not regular files
  std::set<std::string> links;
  std::map<std::string, std::vector<std::string>> subfolders;
  std::map<std::string, platform::LocalTime> times;
  std::map<std::string, platform::SystemFailure> failing_times;

  // Knobs.
  std::size_t writes_break_after = SIZE_MAX;  // bytes a new file may take
  bool replace_refused = false;
  bool move_refused = false;
  bool lock_busy = false;
  std::set<std::string> in_use;  // held open by another program
  int kill_at_call = -1;  // the call (counted from 0) where the run dies

  // Records.
  std::vector<std::string> calls;  // "write:path", "replace:from>to", ...
  std::vector<std::string> listed;
  std::vector<std::string> timed;
  int locks_held = 0;

  void list_subfolders(const std::string& folder,
                       std::vector<std::string>& out) override {
    listed.push_back(folder);
    auto found = subfolders.find(folder);
    if (found != subfolders.end()) {
      out.insert(out.end(), found->second.begin(), found->second.end());
    }
  }

  bool last_write_time(const std::string& folder, platform::LocalTime& time,
                       platform::SystemFailure& failure) override {
    timed.push_back(folder);
    auto failing = failing_times.find(folder);
    if (failing != failing_times.end()) {
      failure = failing->second;
      return false;
    }
    auto found = times.find(folder);
    if (found == times.end()) {
      ADD_FAILURE() << "no time scripted for " << folder;
      return false;
    }
    time = found->second;
    return true;
  }

  platform::PathKind path_kind(const std::string& path) override {
    if (files.count(path)) return platform::PathKind::file;
    if (folders.count(path)) return platform::PathKind::folder;
    if (links.count(path)) return platform::PathKind::other;
    return platform::PathKind::missing;
  }

  platform::ReadOutcome read_file(const std::string& path,
                                  std::size_t max_size, Bytes& bytes,
                                  std::string& error) override {
    step("read:" + path);
    bytes.clear();
    auto found = files.find(path);
    if (in_use.count(path)) {
      error = path + ": in use";
      return platform::ReadOutcome::in_use;
    }
    if (found == files.end()) {
      error = path + (path_kind(path) == platform::PathKind::missing
                          ? ": missing" : ": not a file");
      return path_kind(path) == platform::PathKind::missing
                 ? platform::ReadOutcome::missing
                 : platform::ReadOutcome::failed;
    }
    if (found->second.size() > max_size) {
      error = path + ": too large";
      return platform::ReadOutcome::too_large;
    }
    bytes = found->second;
    return platform::ReadOutcome::read;
  }

  bool write_new_file(const std::string& path, const unsigned char* data,
                      std::size_t size, std::string& error) override {
    const bool dies = step("write:" + path, false);
    if (path_kind(path) != platform::PathKind::missing) {
      error = path + ": exists";
      return false;
    }
    const std::size_t kept = std::min(size, writes_break_after);
    if (dies) {
      // Killed midway: half a file stays under its temporary name.
      files[path] = Bytes(data, data + kept / 2);
      throw Killed{};
    }
    if (kept < size) {
      error = path + ": disk full";
      return false;
    }
    files[path] = Bytes(data, data + size);
    return true;
  }

  bool replace_file(const std::string& from, const std::string& to,
                    std::string& error) override {
    step("replace:" + from + ">" + to);
    if (replace_refused || !files.count(from) ||
        path_kind(to) == platform::PathKind::folder) {
      error = to + ": refused";
      return false;
    }
    files[to] = files[from];
    files.erase(from);
    links.erase(to);
    return true;
  }

  platform::MoveOutcome move_if_absent(const std::string& from,
                                       const std::string& to,
                                       std::string& error) override {
    step("move:" + from + ">" + to);
    if (path_kind(to) != platform::PathKind::missing) {
      return platform::MoveOutcome::target_exists;
    }
    if (move_refused || !files.count(from)) {
      error = to + ": refused";
      return platform::MoveOutcome::failed;
    }
    files[to] = files[from];
    files.erase(from);
    return platform::MoveOutcome::moved;
  }

  bool remove_file(const std::string& path) override {
    step("remove:" + path);
    return files.erase(path) > 0;  // never a link or a folder
  }

  platform::LockOutcome lock_folder(const std::string& folder,
                                    std::unique_ptr<platform::HeldLock>& lock,
                                    std::string&) override {
    step("lock:" + folder);
    if (lock_busy) return platform::LockOutcome::busy;
    lock = std::make_unique<Hold>(locks_held);
    return platform::LockOutcome::locked;
  }

 private:
  class Hold final : public platform::HeldLock {
   public:
    explicit Hold(int& held) : held_(held) { ++held_; }
    ~Hold() override { --held_; }

   private:
    int& held_;
  };

  // Records a call; when it is the one chosen to die, throws before it acts
  // (or, with `throw_now` false, tells the caller to die halfway).
  bool step(const std::string& call, bool throw_now = true) {
    const bool dies = static_cast<int>(calls.size()) == kill_at_call;
    calls.push_back(call);
    if (dies && throw_now) throw Killed{};
    return dies;
  }
};

}  // namespace fakes
