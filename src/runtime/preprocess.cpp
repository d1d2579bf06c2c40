// Source text preparation: comments are removed, full-width syntax characters
// outside literals become their single-byte forms and every line after the first
// gets a line mark "N:" carrying the number of the line before it. Also the
// literal and group readers the executor and the evaluator share, the label scan
// and 取り込む.
#include <cstring>

#include "platform/files.h"
#include "runtime/calculator.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/runtime_commands.h"
#include "runtime/startup.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {
namespace {

// State of the single pass over the source text.
struct Preprocessor {
  std::string_view src;
  std::string out;
  bool in_dq = false, in_bq = false, in_line = false, in_block = false;
  int line = 1;
  size_t quote_pos = std::string::npos;
  int quote_line = 0;
  size_t brace_pos = 0;
  int brace_line = 0;

  bool InString() const { return in_dq || in_bq; }
  bool InComment() const { return in_line || in_block; }

  // The normalised form of the character at i (len bytes), or nullptr when it
  // has none.
  const char* Normalised(size_t i, size_t len) const {
    auto c = static_cast<unsigned char>(src[i]);
    if (len == 2) return TConvToHalf::Lookup(c, static_cast<unsigned char>(src[i + 1]));
    if (c == 0xA2 || c == 0xA3) return "\"";
    return nullptr;
  }

  void LineBreak(size_t& i) {
    ++i;  // CR
    if (i < src.size() && src[i] == '\n') ++i;
    out += "\r\n";
    if (!InString()) {
      out += std::to_string(line);
      out += ':';
    }
    in_line = false;
    ++line;
  }

  void Run() {
    out.reserve(src.size() + src.size() / 8 + 16);
    size_t i = 0;
    while (i < src.size()) {
      size_t len = CharLen(src, i);
      std::string_view c = src.substr(i, len);
      const char* norm = Normalised(i, len);
      std::string_view h = norm ? std::string_view(norm) : c;
      // Outside literals and block comments the character is replaced by its form.
      std::string_view as_appended = (!InString() && !in_block) ? h : c;
      char k = h.size() == 1 ? h[0] : '\0';
      if (len == 2 && h.size() != 1) k = '\0';  // double-byte, not a syntax character
      if (c[0] == '\0') {                       // a NUL byte counts as a blank
        if (!InComment()) out += ' ';
        i += 1;
        continue;
      }
      switch (k) {
        case '\r':
          LineBreak(i);
          continue;
        case '"':
          if (!InComment() && !in_bq) {
            in_dq = !in_dq;
            out += '"';
            quote_pos = i;
            quote_line = line;
            i += len;
            continue;
          }
          break;
        case '\'':
          if (!InString() && !InComment()) {
            in_line = true;
            i += len;
            continue;
          }
          break;
        case '/':
          if (!InString() && !InComment() && i + len < src.size() && src[i + len] == '/') {
            in_line = true;
            i += len + 1;
            continue;
          }
          break;
        case '\\':
          if (InComment()) {
            i += len;
            continue;
          }
          if (in_dq) {
            out += '\\';
            i += len;
            if (i < src.size()) {
              size_t n = CharLen(src, i);
              if (src[i] == '\r') continue;  // a line break is never swallowed
              out.append(src.data() + i, n);
              i += n;
            }
            continue;
          }
          break;
        case '`':
          if (!InComment() && !in_dq) {
            size_t j = i + len;
            bool doubled = false;
            if (j < src.size()) {
              size_t n = CharLen(src, j);
              const char* nn = Normalised(j, n);
              std::string_view next = nn ? std::string_view(nn) : src.substr(j, n);
              if (next == "`") {
                doubled = true;
                out += "``";
                quote_pos = i;
                quote_line = line;
                i = j + n;
              }
            }
            if (!doubled) {
              in_bq = !in_bq;
              if (in_bq) {  // remembered so an unclosed 『 is reported where it opened
                quote_pos = i;
                quote_line = line;
              }
              out += '`';
              i += len;
            }
            continue;
          }
          break;
        case '{':
        case '}':
          if (!InString() && !in_line) {
            in_block = (k == '{');
            brace_pos = i;
            brace_line = line;
            i += len;
            continue;
          }
          break;
        default:
          break;
      }
      if (!InComment()) out.append(as_appended);
      i += len;
    }
  }

  // The 20 bytes of the source after position `pos`, cut on a character boundary.
  std::string Near(size_t pos) const {
    if (pos == std::string::npos || pos >= src.size()) return {};
    std::string_view rest = src.substr(pos + CharLen(src, pos));
    return CutBytesSafe(rest, 20);
  }
};

}  // namespace

std::string Interpreter::Preprocess(std::string_view source) {
  Preprocessor pp;
  pp.src = source;
  pp.Run();
  if (pp.in_block) {
    S.ExecPos = TPos();
    S.LineNo = pp.brace_line;
    Raise(SJ("{ }が対応していません。『") + pp.Near(pp.brace_pos) + SJ("』の近く"));
  }
  if (pp.in_dq) {
    S.ExecPos = TPos();
    S.LineNo = pp.quote_line;
    Raise(SJ("「」または\"\"が対応していません。『") + pp.Near(pp.quote_pos) + SJ("』の近く"));
  }
  if (pp.in_bq) {
    S.ExecPos = TPos();
    S.LineNo = pp.quote_line;
    Raise(SJ("『』または''''が対応していません。『") + pp.Near(pp.quote_pos) + SJ("』の近く"));
  }
  return std::move(pp.out);
}

std::shared_ptr<const std::string> Interpreter::StoreSource(std::string text) {
  auto shared = std::make_shared<const std::string>(std::move(text));
  S.Sources.push_back(shared);
  return shared;
}

// The line that contains position p of a preprocessed text: the mark at the start
// of the line carries the number of the line before it.
static int LineAt(const char* start, const char* p) {
  const char* q = p;
  while (q > start && q[-1] != '\n') --q;
  if (q == start) return 1;
  int n = 0;
  bool digits = false;
  while (*q >= '0' && *q <= '9') {
    n = n * 10 + (*q - '0');
    ++q;
    digits = true;
  }
  return digits && *q == ':' ? n + 1 : 1;
}

void Interpreter::ScanLabels(const std::shared_ptr<const std::string>& text,
                             const SourceNameRef& owner) {
  const char* start = text->c_str();
  const char* p = start;
  while (*p) {
    if (*p == '"' || *p == '`') {
      ReadLiteral(p);
      continue;
    }
    if (*p != '*') {
      p += CharLenZ(p);
      continue;
    }
    const char* star = p;
    if (p[1] == '*') {
      p += 2;
      continue;
    }
    ++p;
    const char* name_start = p;
    std::string name = ReadWord(p);
    const char* back = star;
    while (back > start && (back[-1] == ' ' || back[-1] == '\t')) --back;
    bool line_start = back == start || back[-1] == '\t' || back[-1] == '\n' || back[-1] == '\r' ||
                      back[-1] == ':';
    bool line_end = *p == '\0' || *p == '\r' || *p == '\n';
    if (!line_start || !line_end || name.empty()) {
      if (p == name_start && *p) ++p;  // a "*" at the very end stays inside the text
      continue;
    }
    if (S.Words.FindExact(name)) {
      S.ExecPos = TPos();
      S.LineNo = LineAt(start, star);
      Raise(SJ("ラベル\"%s\"の定義に失敗しました。既に単語として使われています。"), name);
    }
    auto label = std::make_unique<THashNode>(name, kWordLabel);
    label->MoreToWrite().RefPos = p;
    label->MoreToWrite().RefText = text;
    label->MoreToWrite().Owner = owner;
    label->Reserved = true;
    S.Words.Add(std::move(label));
  }
}

// Both readers leave p where it was when the literal or group never closes, so
// the error is reported at the line where it starts. A NUL inside a value that
// is read as an expression is a byte of the literal (ValueText).
std::string Interpreter::ReadLiteral(const char*& pos) {
  const char* start = pos;
  const char* p = pos + 1;
  auto more = [&] { return *p || ValueText::Inside(p); };
  if (*start == '"') {
    while (more()) {
      if (*p == '\\' && p[1]) {
        p += 1 + CharLenZ(p + 1);
        continue;
      }
      if (*p == '"') {
        pos = ++p;
        return std::string(start, p);
      }
      p += CharLenZ(p);
    }
    Raise(SJ("対応するカッコ \" または 」 がありません。"));
  }
  while (more()) {
    if (*p == '`') {
      if (p[1] == '`') {
        p += 2;
        continue;
      }
      pos = ++p;
      return std::string(start, p);
    }
    p += CharLenZ(p);
  }
  Raise(SJ("対応するカッコ ` または 』 がありません。"));
}

std::string Interpreter::ReadGroup(const char*& pos) {
  const char* start = pos + 1;  // past "("
  const char* p = start;
  int depth = 1;
  while (*p) {
    char c = *p;
    if (c == '"' || c == '`') {
      ReadLiteral(p);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) {
      std::string content(start, p);
      pos = p + 1;
      return content;
    }
    p += CharLenZ(p);
  }
  Raise(SJ("\")\"が対応していません。"));
}

void Interpreter::Include(const std::string& file) {
  std::string path = Trim(ResolveFileName(*this, PackedFileOr(*this, file)));
  std::string text;
  if (!LoadScriptFile(path, text)) Raise(msg::FileMissing(), path);
  BlankInterpreterLine(text);  // a file that also runs on its own may start with "#!"
  auto source = StoreSource(Preprocess(text));
  ScanLabels(source, path);
  const SourceNameRef saved_source = S.SourceName;
  S.SourceName = path;
  try {
    RunNested(TPos::Start(source));
  } catch (...) {
    S.SourceName = saved_source;
    throw;
  }
  S.SourceName = saved_source;
}

static void CmdInclude(Call& c) {
  c.in.Include(c.Text(0));
}

CommandTable ProgramCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Include, "取り込む", "?を", CmdInclude, kPure},
  };
  return kRows;
}

}  // namespace sorane
