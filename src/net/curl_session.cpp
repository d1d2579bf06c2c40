#include "net/curl_session.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/trash.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

SORANE_CURL_FUNCTIONS(SORANE_LAZY_DEFINE)

}  // namespace sorane

namespace sorane::net {

namespace {

SORANE_LAZY_LOADER(LoadCurl, SORANE_CURL_FUNCTIONS, "libcurl.so.4", "libcurl4")

// A connection that takes longer to open fails; so does a transfer that
// moves less than one byte a second for a minute.
constexpr long kConnectTimeoutS = 30;
constexpr long kLowSpeedTimeS = 60;
constexpr long kBufferSize = 512 * 1024;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

bool Curl::Available() {
  return LoadCurl();
}

Curl::Curl() {
  if (!Available()) return;
  GlobalInit();
  h_ = curl_easy_init();
}

Curl::~Curl() {
  if (h_) curl_easy_cleanup(h_);  // says goodbye (QUIT) on an open connection
}

void Curl::Prepare(const char* protocols) {
  curl_easy_reset(h_);
  error_[0] = '\0';
  progress_ = nullptr;
  curl_easy_setopt(h_, CURLOPT_ERRORBUFFER, error_);
  curl_easy_setopt(h_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h_, CURLOPT_PROTOCOLS_STR, protocols);
  curl_easy_setopt(h_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h_, CURLOPT_SSL_VERIFYHOST, 2L);
  // The certificates to trust: the system's, unless the standard variables
  // name others.
  const char* bundle = getenv("CURL_CA_BUNDLE");
  if (!bundle || !*bundle) bundle = getenv("SSL_CERT_FILE");
  if (bundle && *bundle) curl_easy_setopt(h_, CURLOPT_CAINFO, bundle);
  const char* folder = getenv("SSL_CERT_DIR");
  if (folder && *folder) curl_easy_setopt(h_, CURLOPT_CAPATH, folder);
  curl_easy_setopt(h_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  curl_easy_setopt(h_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
  curl_easy_setopt(h_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h_, CURLOPT_LOW_SPEED_TIME, kLowSpeedTimeS);
  curl_easy_setopt(h_, CURLOPT_BUFFERSIZE, kBufferSize);
}

void Curl::OnProgress(std::function<bool(int64_t, int64_t)> progress) {
  progress_ = std::move(progress);
  curl_easy_setopt(h_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h_, CURLOPT_XFERINFOFUNCTION, &Curl::Progress);
  curl_easy_setopt(h_, CURLOPT_XFERINFODATA, this);
}

void Curl::BodyTo(std::string* out) {
  curl_easy_setopt(h_, CURLOPT_WRITEFUNCTION, &Curl::WriteToString);
  curl_easy_setopt(h_, CURLOPT_WRITEDATA, out);
}

void Curl::BodyTo(AtomicFile* file) {
  curl_easy_setopt(h_, CURLOPT_WRITEFUNCTION, &Curl::WriteToFile);
  curl_easy_setopt(h_, CURLOPT_WRITEDATA, file);
}

CURLcode Curl::Perform() {
  return curl_easy_perform(h_);
}

size_t Curl::WriteToString(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

size_t Curl::WriteToFile(char* data, size_t size, size_t count, void* file) {
  // A short count makes libcurl fail the transfer (a full disk, say).
  if (!static_cast<AtomicFile*>(file)->Write(std::string_view(data, size * count))) return 0;
  return size * count;
}

int Curl::Progress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                   curl_off_t ulnow) {
  Curl& c = *static_cast<Curl*>(self);
  if (!c.progress_) return 0;
  bool upload = ultotal > 0 || ulnow > 0;
  // Nothing may be thrown through libcurl: a failure stops the transfer.
  try {
    return c.progress_(upload ? ulnow : dlnow, upload ? ultotal : dltotal) ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

std::string Curl::Message(CURLcode rc, const std::string& secret) const {
  std::string text = error_[0] ? error_ : curl_easy_strerror(rc);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!secret.empty()) {
    std::string utf8 = SjisToUtf8(secret);
    for (size_t at; (at = text.find(utf8)) != std::string::npos;)
      text.replace(at, utf8.size(), "****");
  }
  return Utf8ToSjis(text);
}

std::string UrlPath(const std::string& text) {
  // The same percent-encoding as the paths of the trash records.
  return EscapeTrashPath(SjisToUtf8(text));
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

}  // namespace sorane::net
