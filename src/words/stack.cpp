#include "words/stack.h"

namespace sorane {

std::string TStack::PopLast() {
  if (items_.empty()) return {};
  std::string s = std::move(items_.back());
  items_.pop_back();
  return s;
}

std::string TStack::PopFirst() {
  if (items_.empty()) return {};
  std::string s = std::move(items_.front());
  items_.erase(items_.begin());
  return s;
}

void TStack::Delete(size_t i) {
  if (i < items_.size()) items_.erase(items_.begin() + i);
}

void TStack::Insert(size_t i, std::string s) {
  if (i > items_.size()) i = items_.size();
  items_.insert(items_.begin() + i, std::move(s));
}

std::string TStack::Text() const {
  std::string out;
  for (const auto& s : items_) {
    out += s;
    out += "\r\n";
  }
  return out;
}

}  // namespace sorane
