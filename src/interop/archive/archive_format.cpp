#include "interop/archive/archive_format.h"

#include "text/sjis.h"

namespace sorane {

namespace {

using K = ArchiveKind;
using W = ArchiveWriter;
using F = ArchiveFilter;

constexpr ArchiveFormat kLha{K::kLha, "LHA", "UNLHA32.DLL", true, W::kNone, F::kNone, "u", "x"};
constexpr ArchiveFormat kZip{K::kZip, "ZIP", "ZIP32J.DLL", true, W::kZip, F::kNone, "-ru", "-x"};
constexpr ArchiveFormat kCab{K::kCab, "CAB", "CAB32.DLL", true, W::kNone, F::kNone, "-a", "-x"};
constexpr ArchiveFormat kArj{K::kArj, "ARJ", "UNARJ32J.DLL", false, W::kNone, F::kNone, "", "x"};
constexpr ArchiveFormat kTar{K::kTar, "TAR", "TAR32.DLL", true, W::kTar, F::kNone, "c", "x"};
// Formats read like a tar that are no tar to write.
constexpr ArchiveFormat kTarRead{K::kTar, "TAR", "TAR32.DLL", true, W::kNone, F::kNone, "c", "x"};
constexpr ArchiveFormat kGzip{K::kTarGzip, "TAR", "TAR32.DLL", true, W::kTar, F::kGzip, "c", "x"};
constexpr ArchiveFormat kLzw{K::kTarLzw, "TAR", "TAR32.DLL", true, W::kTar, F::kLzw, "c", "x"};
constexpr ArchiveFormat kBzip2{K::kTarBzip2, "TAR",     "TAR32.DLL", true,
                               W::kTar,      F::kBzip2, "c",         "x"};
constexpr ArchiveFormat kXz{K::kTarXz, "TAR", "TAR32.DLL", true, W::kTar, F::kXz, "c", "x"};
constexpr ArchiveFormat kZstd{K::kTarZstd, "TAR", "TAR32.DLL", true, W::kTar, F::kZstd, "c", "x"};
constexpr ArchiveFormat kRar{K::kRar, "RAR", "UNRAR32.DLL", true, W::kNone, F::kNone, "", "-x"};
constexpr ArchiveFormat kBga{K::kBga, "BGA", "BGA32.DLL", false, W::kNone, F::kNone, "a", "x"};
constexpr ArchiveFormat kSevenZip{K::kSevenZip, "7z",     "7-zip32.dll", true,
                                  W::kSevenZip, F::kNone, "u",           "x"};
constexpr ArchiveFormat kIso{K::kIso, "ISO", "", true, W::kNone, F::kNone, "", "x"};
constexpr ArchiveFormat kExe{K::kExe, "EXE", "", true, W::kNone, F::kNone, "", "x"};
constexpr ArchiveFormat kGca{K::kGca, "GCA", "", false, W::kNone, F::kNone, "", ""};
constexpr ArchiveFormat kNone{K::kNone, "", "", false, W::kNone, F::kNone, "", ""};

struct Extension {
  const char* ext;
  const ArchiveFormat* format;
};

constexpr Extension kExtensions[] = {
    {".lzh", &kLha},     {".lha", &kLha},     {".zip", &kZip},     {".jar", &kZip},
    {".cab", &kCab},     {".arj", &kArj},     {".tar", &kTar},     {".a", &kTarRead},
    {".lib", &kTarRead}, {".deb", &kTarRead}, {".rpm", &kTarRead}, {".cpio", &kTarRead},
    {".gz", &kGzip},     {".tgz", &kGzip},    {".z", &kLzw},       {".taz", &kLzw},
    {".bz2", &kBzip2},   {".tbz", &kBzip2},   {".tbz2", &kBzip2},  {".xz", &kXz},
    {".txz", &kXz},      {".zst", &kZstd},    {".tzst", &kZstd},   {".rar", &kRar},
    {".gza", &kBga},     {".bza", &kBga},     {".7z", &kSevenZip}, {".iso", &kIso},
    {".exe", &kExe},     {".gca", &kGca},
};

// The extension of the file-name part, with its point, in lower case ("" when
// none). "/" and "\" end folders; a "\" that is the trail byte of a CP932
// character does not, and neither byte of such a character is a point.
std::string LowerExtension(std::string_view name) {
  size_t start = 0, dot = std::string_view::npos;
  for (size_t i = 0; i < name.size();) {
    size_t len = CharLen(name, i);
    if (len == 1) {
      if (name[i] == '/' || name[i] == '\\') {
        start = i + 1;
        dot = std::string_view::npos;
      } else if (name[i] == '.') {
        dot = i;
      }
    }
    i += len;
  }
  if (dot == std::string_view::npos || dot < start) return {};
  std::string ext(name.substr(dot));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

}  // namespace

const ArchiveFormat& FormatOfArchive(std::string_view name) {
  std::string ext = LowerExtension(name);
  for (const Extension& e : kExtensions)
    if (ext == e.ext) return *e.format;
  return kNone;
}

std::string WithArchiveExtension(const std::string& name) {
  return LowerExtension(name).empty() ? name + ".lzh" : name;
}

const std::array<const char*, ArchiverOptions::kCount>& ArchiverOptions::Names() {
  static const std::array<const char*, kCount> kNames = {
      "a",   "c",   "e",   "f",  "h",   "i",   "l",   "m",   "n",   "o",   "p",   "r",
      "s",   "t",   "u",   "x",  "y",   "z",   "jc",  "jd",  "je",  "jf",  "jh",  "ji",
      "jm",  "jn",  "jp",  "jr", "jsb", "jsc", "jsd", "jse", "jsf", "jsl", "jso", "jss",
      "jst", "jsv", "jsz", "jw", "jyc", "jyd", "jyk", "jyn", "jyo", "ga",  "gd",  "ge",
      "gf",  "gj",  "gm",  "gn", "go",  "gp",  "gs",  "gu",  "gw"};
  return kNames;
}

static int SwitchIndex(std::string_view name) {
  const auto& names = ArchiverOptions::Names();
  for (size_t i = 0; i < names.size(); ++i)
    if (name == names[i]) return static_cast<int>(i);
  return -1;
}

ArchiverOptions ArchiverOptions::Parse(std::string_view text) {
  ArchiverOptions options;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view token = text.substr(pos, end - pos);
    pos = end + 1;
    if (!token.empty() && token[0] == '-') token.remove_prefix(1);
    if (token.size() < 2) continue;
    char digit = token.back();
    if (digit < '0' || digit > '9') continue;
    options.Set(token.substr(0, token.size() - 1), digit - '0');
  }
  return options;
}

int ArchiverOptions::Get(std::string_view name, int fallback) const {
  int i = SwitchIndex(name);
  return i < 0 || values_[i] < 0 ? fallback : values_[i];
}

void ArchiverOptions::Set(std::string_view name, int value) {
  int i = SwitchIndex(name);
  if (i >= 0) values_[i] = static_cast<int8_t>(value);
}

std::string ArchiverOptions::Text() const {
  std::string out;
  for (size_t i = 0; i < kCount; ++i) {
    if (values_[i] < 0) continue;
    if (!out.empty()) out += ' ';
    out += std::string("-") + Names()[i] + std::to_string(values_[i]);
  }
  return out;
}

std::string ArchiverCommandLine(const char* letter, const ArchiverOptions& options,
                                const std::string& archive, const std::string& base,
                                const std::string& names) {
  std::string line = std::string(letter) + " -+";
  std::string switches = options.Text();
  if (!switches.empty()) line += " " + switches;
  line += " \"" + archive + "\"";
  if (!base.empty()) line += " \"" + base + "\"";
  for (size_t pos = 0; pos < names.size();) {
    size_t end = names.find('\n', pos);
    if (end == std::string::npos) end = names.size();
    std::string name = names.substr(pos, end - pos);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) line += " \"" + name + "\"";
    pos = end + 1;
  }
  return line;
}

}  // namespace sorane
