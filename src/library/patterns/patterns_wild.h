// The wildcard language: a small pattern matcher over Shift-JIS characters.
//
//   ?        any one character          #        one character starting with 0-9
//   *        a lazy run (see below)     \n \t \x an escaped CR LF, TAB or character
//   [a-z]    a class ("!" negates)      [*a-z] / [+a-z]  a run of class characters
//   [=ab|c]  alternatives               ( ... )  a pick-up: the text between is kept
//
// A star takes the shortest run after which the rest of the pattern can match
// once; nothing backtracks into it afterwards, so "*.txt" does not match
// "a.txt.txt". Alternatives are tried in a fixed order (the first written one,
// then the others longest first) and are not backtracked either.
//
// The subject is read literally: every character is one element, so the text
// left after a prefix match is exactly the rest of the subject's bytes. Nothing
// reads past the end of the subject: "?", "#", classes and alternatives fail
// there.
//
// Used by マッチ, the table searches and the file and folder enumerations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sorane {

// A pattern that cannot be used; what() is the CP932 message for the script.
class WildcardError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct WildElement {
  enum Kind : uint8_t {
    kChar,          // one character (text)
    kAny,           // ?
    kStar,          // *
    kDigit,         // #
    kClass,         // [...] one character
    kRun,           // [*...] (min 0) or [+...] (min 1)
    kAlternatives,  // [=...|...]
    kPickupFrom,    // (
    kPickupTo,      // )
  };
  Kind kind = kChar;
  bool negate = false;
  bool at_least_one = false;                          // kRun: "+"
  bool star_to_end = false;                           // kStar: last element, or only ")" follows
  std::string text;                                   // kChar
  std::vector<std::pair<unsigned, unsigned>> ranges;  // kClass, kRun (codes, low <= high)
  std::vector<std::string> alternatives;              // in trial order
  std::vector<size_t> alternative_chars;              // character count of each
  int stop = -1;  // kRun: index of the plain character that ends the run, or -1
};

class WildPattern {
 public:
  // Throws WildcardError for a backslash other than \n, \t inside a class, and
  // for a run group that is followed by a wildcard.
  explicit WildPattern(std::string_view pattern);

  // The whole subject must be consumed.
  bool Match(std::string_view subject) const;
  // The pattern must match a head of the subject: on success `head_bytes` is the
  // byte length of that head and `pickups` (when given) receives the texts
  // picked up; on failure `pickups` is left empty.
  bool MatchHead(std::string_view subject, size_t& head_bytes,
                 std::vector<std::string>* pickups) const;

  const std::vector<WildElement>& Elements() const { return elements_; }

  // Trial order of alternatives as written: the first item stays first, the
  // others follow longest first (equal lengths: the later written one first).
  static void OrderAlternatives(std::vector<std::string>& items);

 private:
  friend class WildMatcher;
  std::vector<WildElement> elements_;
  // Segments between the stars that search (stars that only run to the end are
  // part of their segment): segment m is [seg_begin_[m], seg_end_[m]).
  std::vector<size_t> seg_begin_, seg_end_;
};

// Whole-subject match (table searches, enumerations).
bool WildMatch(std::string_view subject, std::string_view pattern);

// Prefix match: on success returns true, `head` is the matched part, `subject`
// keeps the rest and `pickups` the picked-up texts; on failure `head` and
// `pickups` are empty and `subject` is unchanged.
bool WildCut(std::string_view pattern, std::string& subject, std::string& head,
             std::vector<std::string>& pickups);

}  // namespace sorane
