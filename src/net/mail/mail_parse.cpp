#include "net/mail/mail_parse.h"

#include <gmime/gmime.h>
#include <iconv.h>

#include <cerrno>
#include <mutex>

#include "platform/files.h"
#include "platform/lazy_library.h"
#include "text/base64.h"
#include "text/encoding.h"
#include "text/kanji_code.h"
#include "text/sjis.h"

namespace sorane::mail {

// The GMime and GLib functions called here, also by GMime's type-check and
// cast macros, through pointers of their own names (platform/lazy_library.h).
// libgmime brings libglib and libgobject, where the g_object_ and g_type_
// functions are found.
// clang-format off
#define SORANE_GMIME_FUNCTIONS(F)                                                          \
  F(g_mime_init) F(g_mime_charset_iconv_name) F(g_mime_content_type_is_type)               \
  F(g_mime_data_wrapper_write_to_stream) F(g_mime_header_get_raw_value)                    \
  F(g_mime_header_list_get_header) F(g_mime_message_get_mime_part)                         \
  F(g_mime_message_part_get_message) F(g_mime_multipart_get_count)                         \
  F(g_mime_multipart_get_part) F(g_mime_object_get_content_disposition_parameter)          \
  F(g_mime_object_get_content_type) F(g_mime_object_get_content_type_parameter)            \
  F(g_mime_object_get_header_list) F(g_mime_object_write_to_stream)                        \
  F(g_mime_parser_construct_message) F(g_mime_parser_new_with_stream)                      \
  F(g_mime_part_get_content) F(g_mime_part_is_attachment) F(g_mime_stream_mem_get_byte_array) \
  F(g_mime_stream_mem_new) F(g_mime_stream_mem_new_with_buffer)                            \
  F(g_mime_object_get_type) F(g_mime_part_get_type) F(g_mime_multipart_get_type)          \
  F(g_mime_message_part_get_type) F(g_mime_stream_mem_get_type)                            \
  F(g_object_unref) F(g_type_check_instance_is_a) F(g_type_check_instance_cast)
// clang-format on
SORANE_GMIME_FUNCTIONS(SORANE_LAZY_DEFINE)

namespace {

SORANE_LAZY_LOADER(LoadGMime, SORANE_GMIME_FUNCTIONS, "libgmime-3.0.so.0", "libgmime-3.0-0")

// GMime loaded and initialised; false when it cannot be loaded.
bool GMimeReady() {
  if (!LoadGMime()) return false;
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
  return true;
}

bool AllAscii(std::string_view s) {
  for (unsigned char ch : s)
    if (ch >= 0x80 || ch == 0x1B) return false;
  return true;
}

// Text that names no charset: JIS (it holds escapes), UTF-8, EUC-JP or, for
// everything else, Shift-JIS as it is.
std::string UnlabelledToSjis(std::string_view bytes) {
  if (AllAscii(bytes)) return std::string(bytes);
  if (LooksLikeUtf8(bytes)) return Utf8ToSjisKeepingBytes(bytes);
  switch (DetectKanjiCode(bytes)) {
    case kCodeJisNew:
    case kCodeJisOld:
      return JisToSjis(bytes);
    case kCodeEuc:
      return ConvertKanjiCode(bytes, kCodeSjis);
    default:
      return std::string(bytes);
  }
}

// Converts with iconv into UTF-8; a byte the converter refuses is passed on
// as it is, so the CP932 conversion after it keeps it as a byte escape.
bool IconvToUtf8(std::string_view bytes, const char* from, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  while (in_left > 0) {
    char* o = buffer;
    size_t o_left = sizeof buffer;
    size_t rc = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buffer, o - buffer);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      out += *in++;  // EILSEQ or a sequence cut off by the end
      --in_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* o = buffer;
  size_t o_left = sizeof buffer;
  iconv(cd, nullptr, nullptr, &o, &o_left);
  out.append(buffer, o - buffer);
  iconv_close(cd);
  return true;
}

// Unfolds and decodes the encoded words of a header value. Adjacent words
// (only blanks between them) are joined before their charset is converted,
// since senders split a multi-byte character across two words.
class WordDecoder {
 public:
  std::string Decode(std::string_view raw) {
    std::string s;
    for (char ch : raw)
      if (ch != '\r' && ch != '\n') s += ch;
    for (size_t i = 0; i < s.size();) {
      size_t end;
      std::string charset, bytes;
      if (s.compare(i, 2, "=?") == 0 && ParseWord(s, i, end, charset, bytes)) {
        bool only_blanks = plain_.find_first_not_of(" \t") == std::string::npos;
        if (!(after_word_ && only_blanks)) FlushPlain();
        plain_.clear();
        if (AsciiLower(charset) != AsciiLower(word_charset_)) FlushWords();
        word_charset_ = charset;
        word_bytes_ += bytes;
        after_word_ = true;
        i = end;
        continue;
      }
      plain_ += s[i++];
    }
    FlushPlain();
    return out_;
  }

 private:
  void FlushWords() {
    if (!word_bytes_.empty()) out_ += CharsetToSjis(word_bytes_, word_charset_);
    word_bytes_.clear();
  }
  void FlushPlain() {
    FlushWords();
    out_ += UnlabelledToSjis(plain_);
    plain_.clear();
    after_word_ = false;
  }

  // "=?charset?B?text?=" or "=?charset?Q?text?=" at `at`.
  static bool ParseWord(const std::string& s, size_t at, size_t& end, std::string& charset,
                        std::string& bytes) {
    size_t q1 = s.find('?', at + 2);
    if (q1 == std::string::npos || q1 == at + 2 || q1 + 2 >= s.size() || s[q1 + 2] != '?')
      return false;
    char encoding = static_cast<char>(toupper(static_cast<unsigned char>(s[q1 + 1])));
    if (encoding != 'B' && encoding != 'Q') return false;
    size_t text = q1 + 3;
    size_t close = s.find("?=", text);
    if (close == std::string::npos) return false;
    charset = s.substr(at + 2, q1 - at - 2);
    if (charset.find_first_of(" \t") != std::string::npos) return false;
    std::string_view code(s.data() + text, close - text);
    if (encoding == 'B') {
      bytes = Base64Decode(code);
    } else {
      bytes.clear();
      for (size_t k = 0; k < code.size(); ++k) {
        if (code[k] == '_') {
          bytes += ' ';
        } else if (code[k] == '=' && k + 2 < code.size() && isxdigit(code[k + 1]) &&
                   isxdigit(code[k + 2])) {
          bytes += static_cast<char>(std::stoi(std::string(code.substr(k + 1, 2)), nullptr, 16));
          k += 2;
        } else {
          bytes += code[k];
        }
      }
    }
    end = close + 2;
    return true;
  }

  std::string out_, plain_, word_charset_, word_bytes_;
  bool after_word_ = false;
};

// ---------------------------------------------------------------- GMime walk

std::string RawHeader(GMimeObject* object, const char* name) {
  GMimeHeader* h = g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
  if (!h) return {};
  const char* raw = g_mime_header_get_raw_value(h);
  return raw ? raw : "";
}

// The value of a parameter written plainly (name=value or name="value") in
// a raw Content-Type or Content-Disposition value; the RFC 2231 forms
// (name*=..., name*0=...) are other names and left to GMime.
std::optional<std::string> PlainParameter(const std::string& raw, const char* wanted) {
  size_t at = raw.find(';');
  while (at != std::string::npos && at < raw.size()) {
    ++at;
    size_t eq = raw.find('=', at);
    if (eq == std::string::npos) break;
    std::string name = AsciiLower(Trim(std::string_view(raw).substr(at, eq - at)));
    size_t v = eq + 1;
    while (v < raw.size() && (raw[v] == ' ' || raw[v] == '\t' || raw[v] == '\r' || raw[v] == '\n'))
      ++v;
    std::string value;
    if (v < raw.size() && raw[v] == '"') {
      // A backslash quotes only a quote or a backslash: raw Shift-JIS names
      // hold it as the second byte of characters such as 表 and ソ.
      for (++v; v < raw.size() && raw[v] != '"'; ++v) {
        if (raw[v] == '\\' && v + 1 < raw.size() && (raw[v + 1] == '"' || raw[v + 1] == '\\')) ++v;
        value += raw[v];
      }
      at = raw.find(';', v);
    } else {
      at = raw.find(';', v);
      value =
          Trim(std::string_view(raw).substr(v, (at == std::string::npos ? raw.size() : at) - v));
    }
    if (name == wanted) return value;
  }
  return std::nullopt;
}

// The file name a part carries, as the sender wrote it: a plain parameter
// (encoded words and raw Japanese bytes are common there) decoded by our own
// decoder, else the RFC 2231 form GMime has already put together.
std::string PartName(GMimeObject* object) {
  struct Where {
    const char* header;
    const char* parameter;
  };
  for (Where w : {Where{"Content-Disposition", "filename"}, Where{"Content-Type", "name"}}) {
    if (auto value = PlainParameter(RawHeader(object, w.header), w.parameter))
      return CutAtInvalidChar(DecodeHeaderText(*value));
  }
  const char* utf8 = g_mime_object_get_content_disposition_parameter(object, "filename");
  if (!utf8) utf8 = g_mime_object_get_content_type_parameter(object, "name");
  return utf8 ? CutAtInvalidChar(Utf8ToSjisKeepingBytes(utf8)) : std::string();
}

std::string StreamBytes(GMimeStream* stream) {
  GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
  return std::string(reinterpret_cast<const char*>(a->data), a->len);
}

std::string DecodedContent(GMimePart* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (!content) return {};
  GMimeStream* mem = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(content, mem);
  std::string bytes = StreamBytes(mem);
  g_object_unref(mem);
  return bytes;
}

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
  GMimeContentType* ct = g_mime_object_get_content_type(object);
  return ct && g_mime_content_type_is_type(ct, type, subtype);
}

class Walker {
 public:
  explicit Walker(Received& out) : out_(out) {}

  void Walk(GMimeObject* object) {
    if (GMIME_IS_MULTIPART(object)) return Multipart(GMIME_MULTIPART(object));
    if (GMIME_IS_MESSAGE_PART(object)) return Message(GMIME_MESSAGE_PART(object));
    if (GMIME_IS_PART(object)) return Leaf(GMIME_PART(object));
  }

 private:
  void Multipart(GMimeMultipart* multipart) {
    GMimeObject* object = GMIME_OBJECT(multipart);
    int count = g_mime_multipart_get_count(multipart);
    if (count == 0) return;
    // Alternatives say one thing several ways: one of them is read, the
    // plain text when there is one. A signed multipart's second part is
    // the signature.
    if (IsType(object, "multipart", "alternative")) {
      GMimeObject* chosen = nullptr;
      for (int i = 0; i < count && !chosen; ++i) {
        GMimeObject* child = g_mime_multipart_get_part(multipart, i);
        if (IsType(child, "text", "plain")) chosen = child;
      }
      for (int i = 0; i < count && !chosen; ++i) {
        GMimeObject* child = g_mime_multipart_get_part(multipart, i);
        if (GMIME_IS_MULTIPART(child)) chosen = child;
      }
      return Walk(chosen ? chosen : g_mime_multipart_get_part(multipart, 0));
    }
    if (IsType(object, "multipart", "signed")) return Walk(g_mime_multipart_get_part(multipart, 0));
    for (int i = 0; i < count; ++i) Walk(g_mime_multipart_get_part(multipart, i));
  }

  void Message(GMimeMessagePart* part) {
    GMimeMessage* inner = g_mime_message_part_get_message(part);
    ReceivedPart a;
    a.name = PartName(GMIME_OBJECT(part));
    a.fallback_extension = ".eml";
    if (inner) {
      GMimeStream* mem = g_mime_stream_mem_new();
      g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, mem);
      a.data = StreamBytes(mem);
      g_object_unref(mem);
    }
    out_.attachments.push_back(std::move(a));
  }

  void Leaf(GMimePart* part) {
    GMimeObject* object = GMIME_OBJECT(part);
    std::string name = PartName(object);
    bool text = IsType(object, "text", "*");
    bool attached = g_mime_part_is_attachment(part) || !name.empty();
    bool plain = IsType(object, "text", "plain");
    // The first text without a name is the body; later plain texts (a list's
    // footer) are added to it.
    if (text && !attached && (!has_body_ || plain)) {
      const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
      std::string body = JoinLinesCrLf(CharsetToSjis(DecodedContent(part), charset ? charset : ""));
      out_.body += body;
      has_body_ = true;
      return;
    }
    ReceivedPart a;
    a.name = std::move(name);
    if (IsType(object, "text", "html"))
      a.fallback_extension = ".html";
    else if (text)
      a.fallback_extension = ".txt";
    a.data = DecodedContent(part);
    out_.attachments.push_back(std::move(a));
  }

  Received& out_;
  bool has_body_ = false;
};

}  // namespace

std::string CharsetToSjis(std::string_view bytes, std::string_view charset) {
  std::string cs = AsciiLower(Trim(charset));
  if (size_t star = cs.find('*'); star != std::string::npos) cs.resize(star);  // RFC 2231 language
  if (cs.empty() || cs == "us-ascii" || cs == "ascii") return UnlabelledToSjis(bytes);
  if (cs.starts_with("iso-2022-jp") || cs == "csiso2022jp" || cs == "iso2022jp" || cs == "jis")
    return JisToSjis(bytes);
  for (const char* name : {"shift_jis", "shift-jis", "sjis", "x-sjis", "cp932", "windows-31j",
                           "ms932", "ms_kanji", "csshiftjis", "x-ms-cp932"})
    if (cs == name) return std::string(bytes);
  if (cs == "utf-8" || cs == "utf8") return Utf8ToSjisKeepingBytes(bytes);
  // EUC-JP with the vendor rows CP932 has.
  const char* from = cs == "euc-jp" || cs == "x-euc-jp" || cs == "eucjp" ? "EUC-JP-MS" : nullptr;
  // GMime knows the aliases iconv does not; without it iconv gets the name.
  if (!from) from = GMimeReady() ? g_mime_charset_iconv_name(cs.c_str()) : cs.c_str();
  std::string utf8;
  if (!from || !IconvToUtf8(bytes, from, utf8)) return UnlabelledToSjis(bytes);
  return Utf8ToSjisKeepingBytes(utf8);
}

std::string DecodeHeaderText(std::string_view raw) {
  return WordDecoder().Decode(raw);
}

bool MessageParserAvailable() {
  return GMimeReady();
}

Received ParseMessage(std::string_view raw) {
  Received out;
  GMimeMessage* message = nullptr;
  if (GMimeReady()) {
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
  }
  if (!message) {
    out.body = JoinLinesCrLf(UnlabelledToSjis(raw));
    return out;
  }
  GMimeObject* object = GMIME_OBJECT(message);
  auto field = [&](const char* name) {
    GMimeHeader* h = g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (!h) return std::optional<std::string>();
    const char* value = g_mime_header_get_raw_value(h);
    return std::optional<std::string>(CutAtInvalidChar(DecodeHeaderText(value ? value : "")));
  };
  out.return_path = field("Return-Path");
  out.from = field("From").value_or("");
  out.to = field("To").value_or("");
  out.date = field("Date").value_or("");
  out.subject = field("Subject").value_or("");
  if (GMimeObject* body = g_mime_message_get_mime_part(message)) Walker(out).Walk(body);
  g_object_unref(message);
  return out;
}

}  // namespace sorane::mail
