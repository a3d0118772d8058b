// Message boxes. The host build prints them as console lines and reads the
// answer from the system console, where the rest of the tool reads too.
#pragma once

#include <string>

namespace platform {

// `none`: no answer will come, as when the host's input has ended.
enum class Answer { yes, no, none };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows an OK-only box and waits until it is closed.
  virtual void show_notice(const std::string& caption,
                           const std::string& text) = 0;
  // Asks a Yes/No question and returns the answer. A closed box, and on the
  // host any line but one starting with y, is `no`; end of input on the
  // host is `none`.
  virtual Answer ask_yes_no(const std::string& caption,
                            const std::string& text) = 0;
};

// The real boxes of this system.
class SystemDialogs final : public Dialogs {
 public:
  void show_notice(const std::string& caption,
                   const std::string& text) override;
  Answer ask_yes_no(const std::string& caption,
                    const std::string& text) override;
};

}  // namespace platform
