// BASE64 and the encoded-word form of mail headers.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

std::string Base64Encode(std::string_view bytes);
std::string Base64Decode(std::string_view text);

std::string MimeEncodeHeader(std::string_view sjis);
// Result is JIS text with encoded words decoded.
std::string MimeDecodeHeader(std::string_view header);
std::string CutAtInvalidChar(std::string_view s);

}  // namespace sorane
