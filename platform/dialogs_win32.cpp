// Windows message boxes, owned by no window.
#include <windows.h>

#include "platform/dialogs.h"

namespace platform {

void SystemDialogs::show_notice(const std::string& caption,
                                const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

bool SystemDialogs::ask_yes_no(const std::wstring& caption,
                               const std::wstring& text) {
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_YESNO) ==
         IDYES;
}

}  // namespace platform
