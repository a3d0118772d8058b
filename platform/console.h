// Console text: every line the tool prints goes through here so that both
// builds emit the same lines in the right encoding and in program order.
#pragma once

#include <string>

namespace platform {

// Writes `text` followed directly by `value`, then ends the line and flushes.
// Narrow texts are already in the console encoding (GBK on Windows, UTF-8 on
// the host), so they are written unchanged.
void console_line(const std::string& text, const std::string& value = {});

// Writes `text` as it stands (it carries its own line ends) and flushes.
void console_write(const std::string& text);

// Converts a wide string to the narrow console encoding (the ANSI code page
// on Windows, UTF-8 on the host). Characters with no narrow form become '?'.
std::string to_console_text(const std::wstring& text);

// Converts a narrow string in the system's encoding to a wide string.
std::wstring from_system_text(const std::string& text);

// Prepares the console once at program start so the GBK lines read right
// even where the console is set to another code page. Does nothing on the host.
void prepare_console();

}  // namespace platform
