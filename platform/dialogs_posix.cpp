// Host message boxes: one console line each; a question takes its answer
// from the next non-empty input line so scripts can drive it. The system
// console is the process's standard streams, the same the tool's own reads.
#include <string>

#include "platform/console.h"
#include "platform/dialogs.h"

namespace platform {
namespace {

// A y/n answer needs one letter; a longer line is no answer anyone typed.
constexpr std::size_t kAnswerLineLimit = 256;

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
  SystemConsole().line(caption + ": " + one_line(text));
}

Answer SystemDialogs::ask_yes_no(const std::string& caption,
                                 const std::string& text) {
  SystemConsole console;
  console.line(caption + ": " + text + " [y/n]");
  std::string line;
  for (;;) {
    switch (console.read_line(kAnswerLineLimit, line)) {
      case LineRead::ended:
        return Answer::none;
      case LineRead::too_long:
        console.line("输入的内容太长，已忽略，按“否”处理");
        return Answer::no;
      case LineRead::line:
        break;
    }
    if (is_blank(line)) continue;
    return line[0] == 'y' || line[0] == 'Y' ? Answer::yes : Answer::no;
  }
}

}  // namespace platform
