// A received message taken apart: the header fields of the summary, the body
// text and the attachments. The structure (multiparts at any depth, transfer
// encodings, RFC 2231 parameters) is read by GMime; every text is converted
// to CP932 here; GMime is loaded when a message is first taken apart.
// ISO-2022-JP and Shift_JIS text is converted by the run-time's
// own code tables, which know the vendor characters (①, ㈱ ...) that the
// system converters refuse; characters CP932 lacks are kept as byte escapes
// (text/encoding.h), so nothing is lost.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorane::mail {

struct ReceivedPart {
  std::string name;  // decoded file name (CP932), cut as header values are; may be empty
  std::string fallback_extension;  // ".eml", ".html", ".txt" or "" for a part without a name
  std::string data;                // the decoded bytes
};

struct Received {
  // Header values: the text after the field's ":" with its leading space,
  // encoded words decoded, in CP932, cut at the first byte a summary cannot
  // hold. A missing field is empty; Return-Path is told apart.
  std::optional<std::string> return_path;
  std::string from, to, date, subject;
  std::string body;  // CP932 with CR LF line ends
  std::vector<ReceivedPart> attachments;
};

// Loads GMime (with the GLib it runs on) at the first call; false when it
// cannot be loaded. Receiving calls it before it fetches anything.
bool MessageParserAvailable();

// Without GMime the whole message is the body, as for a message that cannot
// be read.
Received ParseMessage(std::string_view raw);

// A header value (folded lines allowed) with its encoded words of any charset
// decoded into CP932; raw 8-bit text is taken as UTF-8, EUC-JP or Shift-JIS,
// whichever it is. Not cut.
std::string DecodeHeaderText(std::string_view raw);

// Bytes of the named charset (MIME names, any letter case) in CP932. Text
// without a charset, or of one no converter knows, is recognised as JIS,
// UTF-8, EUC-JP or Shift-JIS.
std::string CharsetToSjis(std::string_view bytes, std::string_view charset);

}  // namespace sorane::mail
