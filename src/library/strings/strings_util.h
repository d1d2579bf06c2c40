// The text work behind the string commands, free of the interpreter so that it
// can be tested on its own: line lists, character and byte cuts, padding, line
// wrapping with line-start rules, paragraphs, markup tags and line sorting.
// Every walk steps by whole Shift-JIS characters; no cut lands inside a
// double-byte character.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/sjis.h"

namespace sorane {

// The largest text a command builds from a count or size given by the script
// (repetition, padding, buffers, appended lines). Larger requests fail with a
// message instead of exhausting memory.
constexpr size_t kMaxBuiltText = size_t{256} << 20;

// An "integer text" argument: optional blanks, a plain decimal integer with an
// optional sign, or "$" and hexadecimal digits, within 32 bits. Anything else
// (decimals, full-width digits, trailing text) gives `fallback`.
long long IntegerText(std::string_view s, long long fallback);

// Line lists: a line ends at CR LF, a lone CR or a lone LF; a final line break
// does not start another line; an empty text has no lines. Joining writes every
// line followed by CR LF.
std::vector<std::string_view> SplitLines(std::string_view text);
std::string JoinLines(const std::vector<std::string_view>& lines);

// Non-overlapping occurrences; an empty needle gives 0.
size_t CountOccurrences(std::string_view text, std::string_view needle);

// Character cuts; n <= 0 gives an empty text (Left/Right) or the whole text
// (DropLeft/DropRight).
std::string LeftChars(std::string_view text, long long n);
std::string RightChars(std::string_view text, long long n);
std::string DropLeftChars(std::string_view text, long long n);
std::string DropRightChars(std::string_view text, long long n);

// Bytes first .. first+count-1 (1-based; first below 1 counts as 1, a negative
// count gives an empty text). Only whole characters lying inside that window
// are taken, so a double-byte character cut by either edge is left out.
std::string MidBytes(std::string_view text, long long first, long long count);

// `text` repeated n times (empty for n <= 0); nullopt when the result would be
// larger than kMaxBuiltText.
std::optional<std::string> Repeat(std::string_view text, long long n);

// `fill` bytes prepended up to `width` bytes; a longer text is returned as it
// is, never cut. nullopt when `width` exceeds kMaxBuiltText.
std::optional<std::string> PadLeft(std::string_view text, long long width, char fill);

// Lines sorted case-insensitively (ASCII and full-width Latin letters fold to
// lower case, everything else by code; equal keys ordered by their bytes).
std::string SortLines(std::string_view text);
// Lines sorted by ParseNumber of each line, ascending; equal numbers keep their order.
std::string SortLinesByNumber(std::string_view text);

// Line `index` (from 0) inserted before that line, or placed after enough empty
// lines when the text has fewer lines. nullopt when the result would be larger
// than kMaxBuiltText. `index` must be >= 0.
std::optional<std::string> InsertLine(std::string_view text, long long index,
                                      std::string_view line);
// The text without line `index`; nullopt when there is no such line.
std::optional<std::string> DeleteLine(std::string_view text, long long index);

// The n-th paragraph (from 1) with the line breaks that follow it. A paragraph
// ends where a CR (or CR LF) is followed by another CR. n < 1 or past the last
// paragraph gives an empty text.
std::string Paragraph(std::string_view text, long long n);

// 範囲を切り取る: the piece from the start marker through the end marker (or
// through the end of the text when the end marker is missing) and the text
// without it. `found` is false when the start marker does not occur.
struct RangeCut {
  bool found = false;
  std::string piece;
  std::string rest;
};
RangeCut CutRange(std::string_view text, std::string_view start, std::string_view end);

// Text with every "<...>" removed (and stray ">"), after trimming blanks and
// control characters at both ends.
std::string StripTags(std::string_view text);
// Every element of the tag `name` ("<b>" or "b"), each followed by CR LF. The
// name is matched case-insensitively and as a prefix of the element's tag name.
std::string ExtractTags(std::string_view text, std::string_view name);

// Wraps the text at `width` bytes. A tab advances `tab` columns; every input
// line end (CR LF, LF CR, CR CR, LF LF or a lone CR or LF) breaks the line; a
// character of `forbidden` met at a break hangs on the end of the line before
// it. width <= 0 returns the text unchanged.
std::string WrapLines(std::string_view text, long long width, long long tab,
                      std::string_view forbidden);

}  // namespace sorane
