// Test doubles of the system services. Each records what it was asked in
// plain vectors and fails the test on a call nobody scripted.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/processes.h"
#include "platform/shell.h"

namespace fakes {

// The console a test scripts: typed input handed out line by line, and all
// that is written, in order, with "[pause]" where the run paused. A pause not
// expected, or a read past the typed input unless `input_ends`, fails the test.
class FakeConsole : public platform::Console {
 public:
  explicit FakeConsole(const std::string& typed = {}, bool input_ends = false)
      : input(typed), input_ends(input_ends) {}
  std::istringstream input;
  bool input_ends;
  bool pause_expected = false;
  std::string output;

  void write(const std::string& text) override { output += text; }
  platform::LineRead read_line(std::size_t limit, std::string& line) override {
    const auto read = platform::read_bounded_line(input, limit, line);
    if (read == platform::LineRead::ended && !input_ends) {
      ADD_FAILURE() << "unexpected read past the typed input";
    }
    return read;
  }
  void pause() override {
    if (!pause_expected) ADD_FAILURE() << "unexpected pause";
    output += "[pause]\n";
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
};

class FakeShell : public platform::Shell {
 public:
  bool appdata_ok = true;
  std::string appdata = "/home/user/.config";
  std::vector<std::string> opened_documents;
  std::vector<std::string> opened_folders;
  std::vector<std::string> started_programs;
  // Everything the shell was asked, in order, as "document:", "folder:" ...
  std::vector<std::string> calls;

  bool roaming_appdata_folder(std::string& folder) override {
    calls.push_back("appdata");
    folder = appdata_ok ? appdata : "";
    return appdata_ok;
  }
  void open_with_default_app(const std::string& path) override {
    calls.push_back("document:" + path);
    opened_documents.push_back(path);
  }
  void open_file_manager(const std::string& folder) override {
    calls.push_back("folder:" + folder);
    opened_folders.push_back(folder);
  }
  void start_program(const std::string& path) override {
    calls.push_back("start");
    started_programs.push_back(path);
  }
};

class FakeDialogs : public platform::Dialogs {
 public:
  struct Question {
    std::string caption;
    std::string text;
  };
  struct Notice {
    std::string caption;
    std::string text;
  };
  std::deque<bool> answers;  // scripted Yes/No answers, in order
  bool input_ends = false;   // after the scripted answers, no answer comes
  std::vector<Question> questions;
  std::vector<Notice> notices;

  void show_notice(const std::string& caption,
                   const std::string& text) override {
    notices.push_back({caption, text});
  }
  platform::Answer ask_yes_no(const std::string& caption,
                              const std::string& text) override {
    questions.push_back({caption, text});
    if (answers.empty()) {
      if (!input_ends) ADD_FAILURE() << "unexpected question";
      return platform::Answer::none;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer ? platform::Answer::yes : platform::Answer::no;
  }
};

class FakeProcesses : public platform::Processes {
 public:
  bool snapshot_ok = true;
  std::vector<platform::ProcessEntry> processes;
  std::map<unsigned long, platform::ImageName> image_names;  // absent: fails
  bool drives_ok = true;
  std::vector<std::string> drives;
  std::map<std::string, std::string> device_targets;  // absent: fails
  std::vector<unsigned long> unopenable;  // terminate() cannot open these
  std::vector<std::string> queried_devices;
  std::vector<unsigned long> queried_images;
  std::vector<unsigned long> terminated;
  int snapshots = 0;

  bool snapshot(std::vector<platform::ProcessEntry>& out) override {
    ++snapshots;
    if (!snapshot_ok) return false;
    out = processes;
    return true;
  }
  bool image_name(unsigned long id, platform::ImageName& out) override {
    queried_images.push_back(id);
    auto found = image_names.find(id);
    if (found == image_names.end()) return false;
    out = found->second;
    return true;
  }
  bool drive_entries(std::vector<std::string>& out) override {
    if (!drives_ok) return false;
    out = drives;
    return true;
  }
  bool device_target(const std::string& drive, std::string& target) override {
    queried_devices.push_back(drive);
    auto found = device_targets.find(drive);
    if (found == device_targets.end()) return false;
    target = found->second;
    return true;
  }
  platform::TerminateOutcome terminate(unsigned long id) override {
    for (unsigned long u : unopenable) {
      if (u == id) return platform::TerminateOutcome::not_opened;
    }
    terminated.push_back(id);
    return platform::TerminateOutcome::requested;
  }
};

}  // namespace fakes
