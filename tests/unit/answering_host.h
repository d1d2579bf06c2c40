// A test host whose questions (the security question among them) are answered
// by a fixed button and recorded.
#pragma once

#include <string>
#include <vector>

#include "policy/security.h"
#include "test_host.h"

namespace sorane {

class AnsweringHost : public TestHost {
 public:
  int answer = kAnswerNo;
  std::vector<std::string> questions;
  int AskChoice(const std::string& prompt, const std::vector<std::string>&) override {
    questions.push_back(prompt);
    return answer;
  }
};

}  // namespace sorane
