// One typed answer, one line of input, held to a bound: a line that runs on
// (a paste gone wrong, a file piped in) costs no more memory than the bound.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace platform {

enum class LineRead { line, too_long, ended };

// Reads the next line of `input` into `line`, without its line end. `line`
// when it ends within `limit` bytes (also a last line that input ends
// without a line end); `too_long` when it does not: the rest of it is read
// up to its line end and dropped, and `line` holds only its first `limit`
// bytes; `ended` when input has ended before any byte (`line` is empty).
// A failure flag left by an earlier formatted read does not count as the
// end of input.
LineRead read_bounded_line(std::istream& input, std::size_t limit,
                           std::string& line);

}  // namespace platform
