// FTP and HTTP on libcurl. The run keeps one FTP session: its settings from
// the FTP variables at 接続, the remote working folder (tracked here, since
// every transfer names its path from the folder the login starts in), the
// transfer type and the libcurl handle whose connection the commands share.
// Downloads stream into a temporary file beside the local target and replace
// it only when the transfer succeeded; a local target is written only after
// the security policy allowed it.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "library/files/files_util.h"
#include "library/patterns/patterns_wild.h"
#include "net/curl_session.h"
#include "platform/files.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {
namespace {

using net::Curl;

std::string Variable(Interpreter& in, const std::string& name) {
  THashNode* w = in.S.Words.FindExact(name);
  return w ? w->Value() : std::string();
}

// ---------------------------------------------------------------- remote paths

// Folders and names as the commands give them: "/" separates, a leading "/"
// starts at the server's root, anything else is relative to the folder.
std::string JoinRemote(const std::string& folder, const std::string& name) {
  if (name.empty()) return folder;
  if (name[0] == '/' || folder.empty()) return name;
  return folder + "/" + name;
}

// "." and empty parts go, "x/.." goes away; ".." above the starting folder
// stays (the server knows what lies above it), above the root it goes.
std::string NormaliseRemote(const std::string& path) {
  bool absolute = !path.empty() && path[0] == '/';
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
        continue;
      }
      if (absolute) continue;
    }
    parts.push_back(part);
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
  return out;
}

// ---------------------------------------------------------------- the session

class FtpSession {
 public:
  static FtpSession& Of(Interpreter& in) { return in.S.RunStates.Get<FtpSession>(); }

  bool connected() const { return curl_ != nullptr; }
  void Connect(Interpreter& in);
  void Disconnect() {
    curl_.reset();
    folder_.clear();
  }
  void SetBinary(bool binary) { binary_ = binary; }
  const std::string& folder() const { return folder_; }
  void SetFolder(const std::string& folder) { folder_ = folder; }

  // Prepares the handle for one operation on `path` (a folder when it ends
  // the URL with "/"). False when the host cannot be put into a URL.
  void Prepare(Interpreter& in, const std::string& path, bool folder);
  CURLcode Perform() { return curl_->Perform(); }
  Curl& curl() { return *curl_; }
  std::string Message(CURLcode rc) const { return curl_->Message(rc, password_); }

 private:
  std::unique_ptr<Curl> curl_;
  std::string host_, user_, password_;
  bool passive_ = false;
  bool binary_ = true;
  std::string folder_;  // "" is where the login starts
};

// The host part of the URL: "name", "name:port", "[v6]" or "[v6]:port"; a
// bare IPv6 address is put in brackets. Empty when the text cannot be a host.
std::string UrlHost(const std::string& host) {
  if (host.empty() || host.find_first_of("/@?#\\ \t\r\n%") != std::string::npos) return "";
  for (unsigned char ch : host)
    if (ch < 0x20 || ch >= 0x80) return "";
  if (host[0] != '[' && std::count(host.begin(), host.end(), ':') > 1) return "[" + host + "]";
  return host;
}

void FtpSession::Prepare(Interpreter& in, const std::string& path, bool folder) {
  curl_->Prepare("ftp");
  std::string url = "ftp://" + UrlHost(host_) + "/";
  std::string p = NormaliseRemote(path);
  if (!p.empty() && p[0] == '/')
    url += "%2F" + net::UrlPath(p.substr(1));
  else
    url += net::UrlPath(p);
  if (folder && !p.empty() && p != "/") url += "/";
  CURL* h = curl_->get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // Credentials go to libcurl alone, never into the URL.
  curl_easy_setopt(h, CURLOPT_USERNAME, SjisToUtf8(user_).c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, SjisToUtf8(password_).c_str());
  curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);  // ".." reaches the server as written
  curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_MULTICWD));
  if (!passive_) curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, binary_ ? 0L : 1L);
  // Events and timers go on while the transfer runs; the stop button of the
  // progress window ends it.
  curl_->OnProgress([&in](int64_t done, int64_t total) {
    in.host.Dialogs().UpdateProgress(done, total);
    in.host.EventLoop().ProcessEvents();
    return !in.host.Dialogs().ProgressStopped() && !in.S.StopRequested;
  });
}

void FtpSession::Connect(Interpreter& in) {
  Disconnect();
  host_ = Trim(Variable(in, SJ("FTPホスト")));
  user_ = Trim(Variable(in, SJ("FTPユーザーID")));
  password_ = Trim(Variable(in, SJ("FTPパスワード")));
  passive_ = AsciiUpper(Variable(in, SJ("FTP接続方式"))) == "PASV";
  std::string failure;
  if (!Curl::Available()) {
    failure = SJ("libcurlを読み込めません。");
  } else if (UrlHost(host_).empty()) {
    failure = Utf8ToSjis(curl_easy_strerror(CURLE_URL_MALFORMAT));
  } else {
    curl_ = std::make_unique<Curl>();
    // Logging in is a request for the starting folder without its listing.
    Prepare(in, "", true);
    curl_easy_setopt(curl_->get(), CURLOPT_NOBODY, 1L);
    CURLcode rc = Perform();
    if (rc != CURLE_OK) failure = Message(rc);
  }
  if (!failure.empty()) {
    curl_.reset();
    in.Raise(SJ("FTPのエラー。%s"), SJ("接続に失敗。") + failure);
  }
}

// ---------------------------------------------------------------- FTP commands

FtpSession& Connected(Call& c) {
  FtpSession& s = FtpSession::Of(c.in);
  if (!s.connected()) c.in.Raise(SJ("FTPで接続が確立されていません。"));
  return s;
}

// The progress window of one operation.
struct ProgressWindow {
  Interpreter& in;
  ProgressWindow(Interpreter& i, const std::string& message) : in(i) {
    in.host.Dialogs().ShowProgress(message);
  }
  ~ProgressWindow() { in.host.Dialogs().CloseProgress(); }
};

// A command sent to the server in the tracked folder (MKD, DELE, RMD, SITE).
// `name` goes into the command as it is, so a line break in it is refused.
CURLcode FtpCommand(Interpreter& in, FtpSession& s, const std::string& verb,
                    const std::string& name) {
  if (net::HasLineBreak(name)) return CURLE_QUOTE_ERROR;
  s.Prepare(in, s.folder(), true);
  std::string line = verb + " " + SjisToUtf8(name);
  curl_slist* commands = curl_slist_append(nullptr, line.c_str());
  curl_easy_setopt(s.curl().get(), CURLOPT_NOBODY, 1L);
  curl_easy_setopt(s.curl().get(), CURLOPT_POSTQUOTE, commands);
  CURLcode rc = s.Perform();
  curl_easy_setopt(s.curl().get(), CURLOPT_POSTQUOTE, nullptr);
  curl_slist_free_all(commands);
  return rc;
}

void CmdFtpConnect(Call& c) {
  FtpSession::Of(c.in).Connect(c.in);
}

void CmdFtpDisconnect(Call& c) {
  FtpSession::Of(c.in).Disconnect();
}

void CmdFtpTransferMode(Call& c) {
  FtpSession::Of(c.in).SetBinary(c.Text(0).find(SJ("バイナリ")) != std::string::npos);
}

void CmdFtpUpload(Call& c) {
  std::string local = c.Text(0);
  std::string remote = c.Text(1);
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, remote + SJ("をアップロード中"));
  std::string os = ToOsPath(ResolveFileName(c.in, local));
  CURLcode rc = CURLE_READ_ERROR;
  struct stat st;
  FILE* f = nullptr;
  if (IsValidFileName(local) && stat(os.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    f = fopen(os.c_str(), "rb");
  if (f) {
    s.Prepare(c.in, JoinRemote(s.folder(), remote), false);
    curl_easy_setopt(s.curl().get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(s.curl().get(), CURLOPT_READDATA, f);
    curl_easy_setopt(s.curl().get(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
    rc = s.Perform();
    fclose(f);
  }
  if (rc != CURLE_OK) c.in.Raise(SJ("\"%s\"へのFTPアップロードに失敗"), remote);
}

void CmdFtpDownload(Call& c) {
  std::string remote = c.Text(0);
  std::string local = c.Text(1);
  FtpSession& s = Connected(c);
  if (!SecurityCheck(c.in, local, QuotedQuestion(local, SJ("へダウンロードします。")))) return;
  ProgressWindow progress(c.in, local + SJ("をダウンロード中"));
  auto fail = [&] { c.in.Raise(SJ("\"%s\"へのFTPダウンロードに失敗"), local); };
  // An existing local file is kept and the download fails.
  if (!IsValidFileName(local) || FileExists(local) || FolderExists(local)) fail();
  AtomicFile file;
  if (!file.Open(ToOsPath(local))) fail();
  s.Prepare(c.in, JoinRemote(s.folder(), remote), false);
  s.curl().BodyTo(&file);
  if (s.Perform() != CURLE_OK || FileExists(local) || !file.Commit()) fail();
}

void CmdFtpWorkFolder(Call& c) {
  std::string folder = c.Text(0);
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, folder + SJ(" へFTPフォルダ変更"));
  std::string target = NormaliseRemote(JoinRemote(s.folder(), folder));
  // The folder must exist: the server is asked to change into it.
  s.Prepare(c.in, target, true);
  curl_easy_setopt(s.curl().get(), CURLOPT_NOBODY, 1L);
  if (net::HasLineBreak(folder) || s.Perform() != CURLE_OK)
    c.in.Raise(SJ("\"%s\"へのFTPフォルダ変更に失敗"), folder);
  s.SetFolder(target);
}

void CmdFtpParentFolder(Call& c) {
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, SJ("FTP親ディレクトリに移動"));
  std::string target = NormaliseRemote(JoinRemote(s.folder(), ".."));
  s.Prepare(c.in, target, true);
  curl_easy_setopt(s.curl().get(), CURLOPT_NOBODY, 1L);
  if (s.Perform() != CURLE_OK) c.in.Raise(SJ("FTP親ディレクトリに移動に失敗"));
  s.SetFolder(target);
}

void CmdFtpMakeFolder(Call& c) {
  std::string folder = c.Text(0);
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, folder + SJ(" へFTPフォルダ作成"));
  CURLcode rc = FtpCommand(c.in, s, "MKD", folder);
  if (rc != CURLE_OK) c.in.Raise(SJ("\"%s\"へのFTPフォルダ作成に失敗。") + s.Message(rc), folder);
}

void CmdFtpDeleteFile(Call& c) {
  std::string file = c.Text(0);
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, file + SJ(" のFTPファイル削除"));
  if (FtpCommand(c.in, s, "DELE", file) != CURLE_OK)
    c.in.Raise(SJ("\"%s\"のFTPファイル削除に失敗"), file);
}

void CmdFtpRemoveFolder(Call& c) {
  std::string folder = c.Text(0);
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, folder + SJ(" へFTPフォルダ削除"));
  if (FtpCommand(c.in, s, "RMD", folder) != CURLE_OK)
    c.in.Raise(SJ("\"%s\"へのFTPフォルダ削除に失敗"), folder);
}

void CmdFtpSetAttributes(Call& c) {
  std::string file = c.Text(0);
  int64_t mode = ToInt64(c.Num(1));
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, file + SJ(" のFTPファイル属性変更"));
  if (FtpCommand(c.in, s, "SITE chmod " + std::to_string(mode), file) != CURLE_OK)
    c.in.Raise(SJ("\"%s\" のFTPファイル属性変更に失敗"), file);
}

// A listing of the tracked folder: `request` replaces LIST (LIST name, NLST).
// False when it failed.
bool Listing(Interpreter& in, FtpSession& s, const std::string& request, std::string& out) {
  if (net::HasLineBreak(request)) return false;
  s.Prepare(in, s.folder(), true);
  curl_easy_setopt(s.curl().get(), CURLOPT_CUSTOMREQUEST, SjisToUtf8(request).c_str());
  std::string body;
  s.curl().BodyTo(&body);
  if (s.Perform() != CURLE_OK) return false;
  out = Utf8ToSjis(body);
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

void CmdFtpFileInfo(Call& c) {
  std::string name = c.Text(0);
  c.ReturnText("");
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, "\"" + name + SJ("\" の情報を取得中"));
  std::string body;
  if (!Listing(c.in, s, name.empty() ? "LIST" : "LIST " + name, body)) return;
  std::string out;
  for (const std::string& line : Lines(body)) out += (out.empty() ? "" : "\r\n") + line;
  c.ReturnText(out);
}

bool IsPattern(const std::string& text) {
  return text.find_first_of("*?[#") != std::string::npos;
}

// A listed name taken by a pattern of the wildcard language; an empty pattern
// takes every name, a pattern that cannot be used none.
bool Taken(const std::string& name, const std::string& pattern) {
  if (pattern.empty()) return true;
  try {
    return WildMatch(name, pattern);
  } catch (const WildcardError&) {
    return false;
  }
}

void CmdFtpListFiles(Call& c) {
  std::string pattern = c.Text(0);
  c.ReturnText("");
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, "\"" + pattern + SJ("\" のファイル一覧を取得中"));
  // Servers differ in whether NLST takes a pattern: a pattern is matched
  // here, on the names of the whole folder.
  bool matched_here = IsPattern(pattern);
  std::string body;
  if (!Listing(c.in, s, matched_here || pattern.empty() ? "NLST" : "NLST " + pattern, body)) return;
  std::string out;
  for (const std::string& line : Lines(body)) {
    size_t slash = line.rfind('/');
    if (matched_here && !Taken(line.substr(slash == std::string::npos ? 0 : slash + 1), pattern))
      continue;
    out += line + "\r\n";
  }
  c.ReturnText(Trim(out));
}

void CmdFtpListFolders(Call& c) {
  std::string pattern = c.Text(0);
  c.ReturnText("");
  FtpSession& s = Connected(c);
  ProgressWindow progress(c.in, "\"" + pattern + SJ("\" のディレクトリ一覧を取得中"));
  std::string body;
  if (!Listing(c.in, s, "LIST", body)) return;
  std::string out;
  for (const std::string& line : Lines(body)) {
    std::string first = AsciiLower(Trim(line.substr(0, line.find(' '))));
    if (first == "total" || first.empty() || first[0] != 'd') continue;
    std::string name = Trim(line.substr(line.rfind(' ') + 1));
    if (!Taken(name, pattern)) continue;
    out += name + "\r\n";
  }
  c.ReturnText(Trim(out));
}

// ---------------------------------------------------------------- HTTP

void CmdHttpDownload(Call& c) {
  Interpreter& in = c.in;
  std::string url = c.Text(0);
  std::string local = c.Text(1);
  std::string os = CheckedOsPath(in, local);
  if (!SecurityCheck(in, local, QuotedQuestion(local, SJ("へダウンロードします。")))) return;
  auto fail = [&] { in.Raise(SJ("\"%s\"からのダウンロードに失敗"), url); };
  AtomicFile file;
  if (net::HasLineBreak(url) || !Curl::Available() || !file.Open(os)) fail();
  Curl curl;
  curl.Prepare("http,https,ftp");
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, SjisToUtf8(url).c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, "HTTP");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 20L);
  // An error page (status 400 or above, after the redirects) is a failure,
  // not the file.
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl.BodyTo(&file);
  if (curl.Perform() != CURLE_OK || !file.Commit()) fail();
}

}  // namespace

CommandTable FtpHttpCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::FtpConnect, "FTP接続", "", CmdFtpConnect, kActs},
      {CommandId::FtpUpload, "FTPアップロード", "?を,?へ", CmdFtpUpload, kActs},
      {CommandId::FtpDownload, "FTPダウンロード", "?を,?へ", CmdFtpDownload, kActs},
      {CommandId::FtpDisconnect, "FTP切断", "", CmdFtpDisconnect, kActs},
      {CommandId::HttpDownload, "HTTPダウンロード", "?を,?へ", CmdHttpDownload, kActs},
      {CommandId::FtpTransferMode, "FTP転送モード", "?の", CmdFtpTransferMode, kActs},
      {CommandId::FtpWorkFolder, "FTP作業フォルダ", "?へ", CmdFtpWorkFolder, kActs},
      {CommandId::FtpDeleteFile, "FTPファイル削除", "?の", CmdFtpDeleteFile, kActs},
      {CommandId::FtpRemoveFolder, "FTPフォルダ削除", "?の", CmdFtpRemoveFolder, kActs},
      {CommandId::FtpListFiles, "FTPファイル列挙", "?の", CmdFtpListFiles, kActs},
      {CommandId::FtpListFolders, "FTPフォルダ列挙", "?の", CmdFtpListFolders, kActs},
      {CommandId::FtpMakeFolder, "FTPフォルダ作成", "?の", CmdFtpMakeFolder, kActs},
      {CommandId::FtpSetAttributes, "FTPファイル属性変更", "?を,?に", CmdFtpSetAttributes, kActs},
      {CommandId::FtpParentFolder, "FTP親フォルダ移動", "", CmdFtpParentFolder, kActs},
      {CommandId::FtpFileInfo, "FTPファイル情報", "?の", CmdFtpFileInfo, kActs},
  };
  return kRows;
}

}  // namespace sorane
