// Helpers of the standard dialogs that both hosts and the tests use.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sorane {

// The button chooser offers at most this many buttons.
constexpr size_t kMaxChoiceButtons = 20;

// Choices of the list and button choosers: "｜" and "|" separate choices as line
// breaks do.
std::vector<std::string> SplitChoices(const std::string& choices);
// The file-chooser filter for a file kind: a text with "|" is a filter already;
// "txt" or ".txt" gives "txt 形式(*.txt)|*.txt|全て(*.*)|*.*".
std::string FileFilterFor(const std::string& kind);
// The save dialog's default extension: the filter's second field without a
// leading "*" and ".".
std::string DefaultExtension(const std::string& filter);
// Type mark of a typed answer: "e" when it starts with "$" or a digit, "s"
// otherwise, nullptr for an empty answer (the type mark stays).
const char* AnswerType(const std::string& answer);

}  // namespace sorane
