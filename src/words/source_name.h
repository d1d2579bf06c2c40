// The name of a source: a program file, 標準入力, the text a そらねする runs.
// Every name is kept once for the whole run (they are few: the files, and the
// lines that ran そらねする), so a name is held, saved and restored as one
// pointer: a label's call sets its owner's name and gives the caller's back,
// and every block entered saves the name its run returns to.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace sorane {

class SourceNameRef {
 public:
  SourceNameRef() = default;  // the empty name
  // (Implicit: a name is given as a text.)
  SourceNameRef(std::string_view name) : text_(Keep(name)) {}               // NOLINT
  SourceNameRef(const std::string& name) : text_(Keep(name)) {}             // NOLINT
  SourceNameRef(const char* name) : text_(Keep(std::string_view(name))) {}  // NOLINT

  const std::string& Text() const { return *text_; }
  operator const std::string&() const { return *text_; }  // NOLINT
  bool empty() const { return text_->empty(); }

  // Two names kept once are the same name when they are the same text.
  friend bool operator==(const SourceNameRef& a, const SourceNameRef& b) {
    return a.text_ == b.text_;
  }
  friend bool operator==(const SourceNameRef& a, std::string_view b) { return *a.text_ == b; }
  friend bool operator==(const SourceNameRef& a, const std::string& b) { return *a.text_ == b; }
  friend bool operator==(const SourceNameRef& a, const char* b) { return *a.text_ == b; }
  friend std::ostream& operator<<(std::ostream& out, const SourceNameRef& name) {
    return out << *name.text_;
  }

 private:
  // The one kept copy of `name` (made on its first use).
  static const std::string* Keep(std::string_view name);
  static const std::string kEmpty;
  const std::string* text_ = &kEmpty;
};

}  // namespace sorane
