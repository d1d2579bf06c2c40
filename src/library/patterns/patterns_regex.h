// Regular expressions in Perl style over Shift-JIS bytes: the engine is
// Oniguruma (Perl syntax with named groups, Shift_JIS encoding), so "." , \w and
// classes take whole double-byte characters and no match starts or ends inside
// one. The commands are written as in Perl:
//
//   m/pattern/flags                 match (flags i m s x; g, k, o accepted)
//   s/pattern/replacement/flags     substitution (flags g i m s x; k, o accepted);
//                                   the replacement knows $1 ${1} \1 $& $` $' \n \t \r
//   tr/from/to/flags, y/from/to/    translation (flags c d s; k, r accepted)
//
// Any punctuation character other than "\" can be the delimiter. Every failure
// (a bad command, an invalid expression, a search that gives up) is a
// RegexError whose what() is the engine's message. The engine's library is
// loaded at the first match, split or substitution of a run (translation does
// without it); when it cannot be, those fail with a RegexError saying so.
//
// Targets are std::string: the engine may look at the byte after a lead byte
// that ends the target, which is then the string's terminator.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sorane {

class RegexError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True when `pattern` is written as a whole m// command: "m", a delimiter, the
// expression, the same delimiter and nothing but letters (the flags). Any
// other pattern ("main", "mon|tue", "a/b") is used as a bare expression.
bool IsMatchCommand(std::string_view pattern);

// First match of `pattern` (an m// command or a bare expression) in `target`:
// the whole match and every group (an unset group is empty); empty when there
// is no match.
std::vector<std::string> RegexMatch(std::string_view pattern, const std::string& target);

// Perl's split with a positive limit: the pieces between the matches (groups of
// the expression are pieces too), at most `limit` pieces, the last one holding
// the rest; trailing empty pieces are kept; an empty target has no pieces.
std::vector<std::string> RegexSplit(std::string_view pattern, const std::string& target,
                                    size_t limit);

struct RegexSubstitution {
  std::string text;        // the target with the substitutions made
  size_t replaced = 0;     // number of substitutions
  size_t group_count = 0;  // parenthesised groups of the expression
};
RegexSubstitution RegexSubstitute(std::string_view command, const std::string& target);

std::string RegexTranslate(std::string_view command, std::string_view target);

}  // namespace sorane
