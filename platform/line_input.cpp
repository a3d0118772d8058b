// Reads through the stream buffer itself: a bounded std::getline does not
// exist, and taking a character at a time through the stream would build a
// sentry per byte of a 200 MB line.
#include "platform/line_input.h"

namespace platform {

LineRead read_bounded_line(std::istream& input, std::size_t limit,
                           std::string& line) {
  line.clear();
  if (input.eof() || input.bad()) return LineRead::ended;
  if (input.tie() != nullptr) input.tie()->flush();
  std::streambuf* buffer = input.rdbuf();
  using Traits = std::istream::traits_type;
  bool any = false;
  bool over = false;
  for (;;) {
    const Traits::int_type c = buffer->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      input.setstate(any ? std::ios::eofbit
                         : std::ios::eofbit | std::ios::failbit);
      break;
    }
    any = true;
    if (Traits::to_char_type(c) == '\n') break;
    if (line.size() < limit) {
      line += Traits::to_char_type(c);
    } else {
      over = true;
    }
  }
  if (!any) return LineRead::ended;
  return over ? LineRead::too_long : LineRead::line;
}

}  // namespace platform
