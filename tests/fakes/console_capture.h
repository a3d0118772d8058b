// Captures what the code under test writes to standard output.
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fakes {

class ConsoleCapture {
 public:
  ConsoleCapture() : saved_(std::cout.rdbuf(buffer_.rdbuf())) {}
  ~ConsoleCapture() { std::cout.rdbuf(saved_); }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::string text() const { return buffer_.str(); }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::istringstream in(buffer_.str());
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  std::ostringstream buffer_;
  std::streambuf* saved_;
};

}  // namespace fakes
