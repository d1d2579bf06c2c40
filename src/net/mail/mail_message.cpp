#include "net/mail/mail_message.h"

#include <random>

#include "platform/files.h"
#include "platform/trash.h"
#include "text/base64.h"
#include "text/encoding.h"
#include "text/kanji_code.h"
#include "text/sjis.h"

namespace sorane::mail {

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// BASE64 lines of attachments: 76 characters, as MIME asks.
constexpr size_t kBase64Line = 76;

bool HasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

// A header value on one line: every control byte (a CR or LF would start a
// header of the sender's choosing) becomes a space. Trail bytes of CP932
// characters are never below 0x40, so no character is cut.
std::string OneLine(std::string s) {
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t') ch = ' ';
  return s;
}

std::string Encoded(const std::string& s) {
  return MimeEncodeHeader(OneLine(s));
}

// A display name: encoded words for Japanese, a quoted string when a
// single-byte name holds characters that would split the address.
std::string DisplayName(const std::string& name) {
  std::string clean = OneLine(name);
  for (unsigned char ch : clean)
    if (ch >= 0x80) return MimeEncodeHeader(clean);
  if (clean.find_first_of("()<>[]:;@\\,.\"") == std::string::npos) return clean;
  std::string quoted = "\"";
  for (char ch : clean) {
    if (ch == '"' || ch == '\\') quoted += '\\';
    quoted += ch;
  }
  return quoted + "\"";
}

// Recipients joined for a To or Cc header, one per folded line.
std::string AddressList(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (!out.empty()) out += ",\r\n ";
    out += Encoded(line);
  }
  return out;
}

// CC and BCC lines: a bare address is put in "<" ">".
std::vector<std::string> Wrapped(const std::string& list) {
  std::vector<std::string> lines = RecipientLines(list);
  for (std::string& line : lines)
    if (line.find('<') == std::string::npos) line = "<" + line + ">";
  return lines;
}

// A MIME parameter holding a file name: plain ASCII quoted, Japanese as an
// encoded word, and a name with characters CP932 lacks (kept as user-defined
// characters inside the run-time) in the UTF-8 form of RFC 2231.
std::string FileNameParameter(const std::string& attribute, const std::string& name) {
  std::string clean = OneLine(name);
  bool ascii = true, escaped = false;
  for (size_t i = 0; i < clean.size(); i += CharLen(clean, i)) {
    unsigned char ch = static_cast<unsigned char>(clean[i]);
    if (ch >= 0x80) ascii = false;
    if (ch >= 0xF0 && ch <= 0xF9) escaped = true;
  }
  // Percent-encoding keeps the unreserved bytes, which are attribute
  // characters; the name holds no "/".
  if (escaped) return attribute + "*=UTF-8''" + EscapeTrashPath(SjisToUtf8KeepingBytes(clean));
  std::string value = ascii ? clean : MimeEncodeHeader(clean);
  std::string quoted;
  for (char ch : value) {
    if (ch == '"' || ch == '\\') quoted += '\\';
    quoted += ch;
  }
  return attribute + "=\"" + quoted + "\"";
}

std::string Base64Lines(std::string_view data) {
  std::string code = Base64Encode(data);
  std::string out;
  out.reserve(code.size() + code.size() / kBase64Line * 2 + 2);
  for (size_t at = 0; at < code.size(); at += kBase64Line)
    out.append(code, at, kBase64Line).append("\r\n");
  return out;
}

}  // namespace

std::vector<std::string> RecipientLines(const std::string& list) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at <= list.size()) {
    size_t end = list.find("\r\n", at);
    if (end == std::string::npos) end = list.size();
    std::string line = Trim(std::string_view(list).substr(at, end - at));
    if (!line.empty()) lines.push_back(line);
    at = end + 2;
  }
  return lines;
}

std::string BareAddress(const std::string& recipient) {
  size_t open = recipient.rfind('<');
  if (open != std::string::npos) {
    size_t close = recipient.find('>', open);
    if (close != std::string::npos) return Trim(recipient.substr(open + 1, close - open - 1));
  }
  return Trim(recipient);
}

bool BuildEnvelope(const Outgoing& mail, Envelope& envelope, std::string& error) {
  envelope = {};
  std::string from = Trim(mail.from);
  if (HasLineBreak(from)) {
    error = SJ("送信元のアドレスに改行があります。");
    return false;
  }
  envelope.from = BareAddress(from);
  for (const std::string* list : {&mail.to, &mail.cc, &mail.bcc}) {
    for (const std::string& line : RecipientLines(*list)) {
      if (HasLineBreak(line)) {
        error = SJ("送信先のアドレスに改行があります。");
        return false;
      }
      envelope.recipients.push_back(BareAddress(line));
    }
  }
  return true;
}

std::string MailDate(std::time_t now) {
  struct tm t;
  localtime_r(&now, &t);
  long offset = t.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char text[64];
  snprintf(text, sizeof text, "%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d %c%2.2ld%2.2ld",
           kDays[t.tm_wday], t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min,
           t.tm_sec, sign, offset / 60, offset % 60);
  return text;
}

std::string NewBoundary() {
  static std::mt19937_64 random{std::random_device{}()};
  static const char kHex[] = "0123456789abcdef";
  // "=_" never occurs in BASE64, and no one writing a body can guess the rest.
  std::string b = "=_sorane_";
  for (int i = 0; i < 24; ++i) b += kHex[random() & 15];
  return b;
}

std::string BuildMessage(const Outgoing& mail, std::time_t now, const std::string& boundary) {
  std::string out;
  auto header = [&out](const char* name, const std::string& value) {
    out.append(name).append(": ").append(value).append("\r\n");
  };
  std::string from = OneLine(Trim(mail.from));
  header("Date", MailDate(now));
  header("From", mail.from_name.empty() ? from : DisplayName(mail.from_name) + " <" + from + ">");
  if (!from.empty()) header("Reply-To", from);
  header("To", AddressList(RecipientLines(mail.to)));
  std::vector<std::string> cc = Wrapped(mail.cc);
  if (!cc.empty()) header("Cc", AddressList(cc));
  // Blind copies reach the envelope only: a Bcc header would show them.
  header("Subject", Encoded(mail.subject));
  header("X-Mailer", Encoded(mail.mailer));
  header("MIME-Version", "1.0");

  // Every line ends in CR LF, the last one too, and in single-byte mode.
  std::string body = SjisToJis(JoinLinesCrLf(Trim(mail.body)));
  const char* text_type = "text/plain; charset=iso-2022-jp";
  if (mail.attachments.empty()) {
    header("Content-Type", text_type);
    header("Content-Transfer-Encoding", "7bit");
    return out + "\r\n" + body;
  }
  header("Content-Type", "multipart/mixed; boundary=\"" + boundary + "\"");
  header("Content-Transfer-Encoding", "7bit");
  out += "\r\n--" + boundary + "\r\n";
  header("Content-Type", text_type);
  header("Content-Transfer-Encoding", "7bit");
  out += "\r\n" + body;
  for (const Attachment& a : mail.attachments) {
    out += "\r\n--" + boundary + "\r\n";
    header("Content-Type", "application/octet-stream; " + FileNameParameter("name", a.name));
    header("Content-Transfer-Encoding", "base64");
    header("Content-Disposition", "attachment; " + FileNameParameter("filename", a.name));
    out += "\r\n" + Base64Lines(a.data);
  }
  out += "\r\n--" + boundary + "--\r\n";
  return out;
}

}  // namespace sorane::mail
