// ESorane: every failure of a script is raised as this exception. Its message is
// already a report line ("[エラー] file(N行目): message") unless raised bare.
#pragma once

#include <stdexcept>
#include <string>

namespace sorane {

class ESorane : public std::exception {
 public:
  explicit ESorane(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// printf-style formatting with %s and %d only, on CP932 byte strings.
std::string Format(const std::string& fmt, const std::string& a = {}, const std::string& b = {});

}  // namespace sorane
