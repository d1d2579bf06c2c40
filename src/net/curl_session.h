// One libcurl handle with the options every transfer of the run-time uses:
// only the protocols the commands name, certificate checks on, TLS when the
// server offers it, connect and low-speed time limits, and error texts that
// never carry a password. A body being downloaded streams into a temporary
// file beside its target, which replaces the target only when the transfer
// succeeded. libcurl is loaded when a transfer first needs it.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/lazy_library.h"
#include "platform/safe_write.h"

namespace sorane {

// The libcurl functions the run-time calls, through pointers of their own
// names (platform/lazy_library.h), set once net::Curl::Available() is true.
// clang-format off
#define SORANE_CURL_FUNCTIONS(F)                                                    \
  F(curl_global_init) F(curl_easy_init) F(curl_easy_cleanup) F(curl_easy_reset)     \
  F(curl_easy_setopt) F(curl_easy_perform) F(curl_easy_strerror)                    \
  F(curl_slist_append) F(curl_slist_free_all)
// clang-format on
SORANE_CURL_FUNCTIONS(SORANE_LAZY_DECLARE)

}  // namespace sorane

namespace sorane::net {

class Curl {
 public:
  // Loads libcurl at the first call; false when it cannot be loaded. Every
  // command calls it before it makes a Curl and fails with its own message.
  static bool Available();
  // A handle of its own (none when libcurl is not available).
  Curl();
  ~Curl();
  Curl(const Curl&) = delete;
  Curl& operator=(const Curl&) = delete;
  CURL* get() const { return h_; }

  // Clears the options of the last transfer (open connections stay for the
  // next one) and sets those of every transfer; `protocols` as libcurl
  // names them ("ftp", "http,https,ftp").
  void Prepare(const char* protocols);
  // Called as the transfer goes on with the bytes done and the total (0 when
  // not known); returning false stops the transfer.
  void OnProgress(std::function<bool(int64_t done, int64_t total)> progress);
  // Keeps the body in `out` (listings).
  void BodyTo(std::string* out);
  // Streams the body into `file`.
  void BodyTo(AtomicFile* file);
  CURLcode Perform();
  // The failure as a message (CP932): libcurl's own text, with every
  // occurrence of `secret` (the password) masked.
  std::string Message(CURLcode rc, const std::string& secret) const;

 private:
  static size_t WriteToString(char* data, size_t size, size_t count, void* out);
  static size_t WriteToFile(char* data, size_t size, size_t count, void* file);
  static int Progress(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                      curl_off_t ulnow);

  CURL* h_ = nullptr;
  char error_[CURL_ERROR_SIZE] = "";
  std::function<bool(int64_t, int64_t)> progress_;
};

// `text` (CP932) as a URL path: UTF-8, every byte but the unreserved ones and
// "/" percent-encoded.
std::string UrlPath(const std::string& text);

// True when the text holds a CR, LF or NUL: it would end an FTP command early
// and smuggle in another.
bool HasLineBreak(const std::string& text);

}  // namespace sorane::net
