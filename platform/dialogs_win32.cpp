// Windows message boxes, owned by no window; always the wide calls, so the
// Chinese texts and paths show whatever the system's code page is.
#include <windows.h>

#include "platform/dialogs.h"
#include "platform/text_win32.h"

namespace platform {

void SystemDialogs::show_notice(const std::string& caption,
                                const std::string& text) {
  MessageBoxW(nullptr, to_utf16(text).c_str(), to_utf16(caption).c_str(),
              MB_OK);
}

Answer SystemDialogs::ask_yes_no(const std::string& caption,
                                 const std::string& text) {
  return MessageBoxW(nullptr, to_utf16(text).c_str(),
                     to_utf16(caption).c_str(), MB_YESNO) == IDYES
             ? Answer::yes
             : Answer::no;
}

}  // namespace platform
