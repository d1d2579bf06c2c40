// The normalisation of full-width syntax characters to their single-byte forms
// (digits, letters, symbols, brackets), applied to source text and expressions.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

class TConvToHalf {
 public:
  // Whole text: table characters replaced, 0xA2/0xA3 become '"', others copied.
  static std::string ConvertText(std::string_view s);
  // The whole text looked up as one character; unchanged when not in the table.
  static std::string ConvertToken(std::string_view s);
  // Replacement of the double-byte character (lead, trail), or nullptr.
  static const char* Lookup(unsigned char lead, unsigned char trail);
};

}  // namespace sorane
