// Console text: every line the tool prints goes through here, as UTF-8, so
// both builds emit the same lines in program order.
#pragma once

#include <string>

namespace platform {

// Writes `text` followed directly by `value`, then ends the line and flushes.
void console_line(const std::string& text, const std::string& value = {});

// Writes `text` as it stands (it carries its own line ends) and flushes.
void console_write(const std::string& text);

// Once at program start: makes standard output and input carry the
// program's UTF-8 text the way the user's terminal needs it. On Windows a
// real console is written and read as UTF-16; a pipe or a file carries GBK
// bytes with CR LF line ends. The host's terminals are UTF-8 already.
void attach_console_encoding();

}  // namespace platform
