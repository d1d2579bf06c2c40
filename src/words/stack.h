// TStack: a list of texts used as a stack (the argument stack, function arguments).
#pragma once

#include <string>
#include <vector>

namespace sorane {

class TStack {
 public:
  void Push(std::string&& s) { items_.push_back(std::move(s)); }
  void Push(const std::string& s) { items_.push_back(s); }
  void PushFront(std::string s) { items_.insert(items_.begin(), std::move(s)); }
  std::string PopLast();
  std::string PopFirst();
  std::string Peek(size_t i) const { return i < items_.size() ? items_[i] : std::string(); }
  const std::string& Top() const { return items_.back(); }
  size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  void Clear() { items_.clear(); }
  void Delete(size_t i);
  void Insert(size_t i, std::string s);
  std::string& At(size_t i) { return items_[i]; }
  // Every item followed by CR LF.
  std::string Text() const;
  std::vector<std::string>& Items() { return items_; }

 private:
  std::vector<std::string> items_;
};

}  // namespace sorane
