// Host message boxes: one console line each; a question takes its answer
// from the next non-empty input line so scripts can drive it.
#include <string>

#include "platform/console.h"
#include "platform/dialogs.h"

namespace platform {
namespace {

std::string one_line(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

bool is_blank(const std::string& line) {
  return line.find_first_not_of(" \t\r\n\v\f") == std::string::npos;
}

}  // namespace

void SystemDialogs::show_notice(const std::string& caption,
                                const std::string& text) {
  console_line(caption + ": " + one_line(text));
}

bool SystemDialogs::ask_yes_no(const std::string& caption,
                               const std::string& text) {
  console_line(caption + ": " + text + " [y/n]");
  std::string line;
  while (std::getline(answers_, line)) {
    if (is_blank(line)) continue;
    return line[0] == 'y' || line[0] == 'Y';
  }
  return false;
}

}  // namespace platform
