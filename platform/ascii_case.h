// Comparing names the way Windows compares switches and device and file
// names it knows to be ASCII: only A to Z fold, so no locale can make two
// distinct names look alike.
#pragma once

#include <string>

namespace platform {

inline char fold_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool starts_with_ignoring_ascii_case(const std::string& text,
                                            const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (fold_ascii(text[i]) != fold_ascii(prefix[i])) return false;
  }
  return true;
}

inline bool equals_ignoring_ascii_case(const std::string& a,
                                       const std::string& b) {
  return a.size() == b.size() && starts_with_ignoring_ascii_case(a, b);
}

}  // namespace platform
