#include "app/console_host.h"

#include <cstdio>
#include <iostream>

#include "text/encoding.h"

namespace sorane {

std::string ToTerminal(const std::string& sjis) {
  std::string utf8 = SjisToUtf8(sjis);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

void ConsoleHost::PrintLine(const std::string& line) {
  std::string out = ToTerminal(line);
  out += '\n';
  fwrite(out.data(), 1, out.size(), stdout);
}

void ConsoleHost::Say(const std::string& text) {
  PrintLine(text);
}

void ConsoleHost::MessageBox(const std::string& text, const std::string& title) {
  fflush(stdout);
  std::string out = ToTerminal(text) + "\n";
  fwrite(out.data(), 1, out.size(), stderr);
}

bool ConsoleHost::ErrorDialog(const std::string& log, bool, bool& debug_requested) {
  fflush(stdout);
  std::string out = ToTerminal(log);
  if (!out.empty() && out.back() != '\n') out += '\n';
  fwrite(out.data(), 1, out.size(), stderr);
  fflush(stderr);
  debug_requested = false;
  exit_status_ = 1;
  return false;
}

std::optional<std::string> ConsoleHost::AskText(const std::string& prompt,
                                                const std::string& initial) {
  PrintLine(prompt);
  fflush(stdout);
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return Utf8ToSjis(line);
}

int ConsoleHost::AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) {
  std::string question = prompt + "\r\n";
  for (size_t i = 0; i < buttons.size(); ++i)
    question += std::to_string(i + 1) + ") " + buttons[i] + (i + 1 < buttons.size() ? " " : "");
  PrintLine(question);
  fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    int n = atoi(line.c_str());
    if (n >= 1 && n <= static_cast<int>(buttons.size())) return n - 1;
  }
  return -1;
}

}  // namespace sorane
