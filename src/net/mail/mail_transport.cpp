#include "net/mail/mail_transport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane::mail {

namespace {

struct Scheme {
  const char* name;
  Protocol protocol;
  bool tls;
  int port;
};
constexpr Scheme kSchemes[] = {
    {"smtp", Protocol::kSmtp, false, 25},
    {"smtps", Protocol::kSmtp, true, 465},
    {"pop3", Protocol::kPop3, false, 110},
    {"pop3s", Protocol::kPop3, true, 995},
};

const Scheme& SchemeOf(Protocol protocol, bool tls) {
  for (const Scheme& s : kSchemes)
    if (s.protocol == protocol && s.tls == tls) return s;
  return kSchemes[0];
}

struct Upload {
  const std::string* data;
  size_t at = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* from) {
  Upload& u = *static_cast<Upload*>(from);
  size_t n = std::min(size * count, u.data->size() - u.at);
  memcpy(buffer, u.data->data() + u.at, n);
  u.at += n;
  return n;
}

// The options of one mail transfer on top of those of every transfer.
void Prepare(net::Curl& curl, const Server& server, const std::string& url, const std::string& user,
             const std::string& password, Progress progress) {
  curl.Prepare("smtp,smtps,pop3,pop3s");
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  if (server.require_tls) curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!password.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, SjisToUtf8(user).c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, SjisToUtf8(password).c_str());
  }
  if (progress) curl.OnProgress(std::move(progress));
}

Outcome OutcomeOf(CURLcode rc) {
  switch (rc) {
    case CURLE_OK:
      return Outcome::kDone;
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
      return Outcome::kBadHost;
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_USE_SSL_FAILED:
    case CURLE_WEIRD_SERVER_REPLY:
      return Outcome::kConnect;
    case CURLE_LOGIN_DENIED:
      return Outcome::kAuth;
    case CURLE_ABORTED_BY_CALLBACK:
      return Outcome::kStopped;
    default:
      return Outcome::kFailed;
  }
}

}  // namespace

bool ParseServer(const std::string& text, Protocol protocol, Server& out) {
  std::string rest = Trim(text);
  std::string lower = AsciiLower(rest);
  const Scheme* scheme = nullptr;
  for (const Scheme& s : kSchemes) {
    std::string prefix = std::string(s.name) + "://";
    if (lower.starts_with(prefix)) {
      if (s.protocol != protocol) return false;
      scheme = &s;
      rest.erase(0, prefix.size());
    }
  }
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.empty() || rest.find_first_of("/@?#\\ \t%") != std::string::npos) return false;
  for (unsigned char ch : rest)
    if (ch < 0x20 || ch >= 0x7F) return false;
  std::string host = rest;
  int port = 0;
  size_t colon = rest.rfind(':');
  bool bracketed = rest[0] == '[';
  bool bare_v6 = !bracketed && std::count(rest.begin(), rest.end(), ':') > 1;
  if (colon != std::string::npos && !bare_v6 && (!bracketed || rest[colon - 1] == ']')) {
    std::string digits = rest.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    port = std::atoi(digits.c_str());
    if (port < 1 || port > 65535) return false;
    host = rest.substr(0, colon);
  }
  if (host.empty() || host == "[]") return false;
  if (bare_v6) host = "[" + host + "]";
  if (!scheme) {
    // Without a prefix the well-known TLS ports mean TLS from the start.
    bool tls = port == SchemeOf(protocol, true).port;
    scheme = &SchemeOf(protocol, tls);
  }
  if (port == 0) port = scheme->port;
  out.url = std::string(scheme->name) + "://" + host + ":" + std::to_string(port) + "/";
  // Submission (587) is the port of clients with passwords: TLS or nothing.
  out.require_tls = protocol == Protocol::kSmtp && !scheme->tls && port == 587;
  return true;
}

Outcome SendMessage(const Server& server, const std::string& user, const std::string& password,
                    const Envelope& envelope, const std::string& message, Progress progress) {
  if (!net::Curl::Available()) return Outcome::kFailed;
  net::Curl curl;
  Prepare(curl, server, server.url, user, password, std::move(progress));
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, ("<" + SjisToUtf8(envelope.from) + ">").c_str());
  curl_slist* rcpt = nullptr;
  for (const std::string& r : envelope.recipients)
    rcpt = curl_slist_append(rcpt, ("<" + SjisToUtf8(r) + ">").c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt);
  Upload upload{&message};
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadUpload);
  curl_easy_setopt(h, CURLOPT_READDATA, &upload);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  Outcome outcome = OutcomeOf(curl.Perform());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, nullptr);
  curl_slist_free_all(rcpt);
  return outcome;
}

Outcome Pop3Session::Request(const std::string& path, const char* command, std::string* body,
                             Progress progress) {
  if (!net::Curl::Available()) return Outcome::kFailed;
  Prepare(curl_, server_, server_.url + path, user_, password_, std::move(progress));
  CURL* h = curl_.get();
  if (command) curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, command);
  if (body)
    curl_.BodyTo(body);
  else
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);  // a command answered on one line
  return OutcomeOf(curl_.Perform());
}

Outcome Pop3Session::List(std::vector<int64_t>& sizes, Progress progress) {
  std::string listing;
  sizes.clear();
  Outcome outcome = Request("", nullptr, &listing, std::move(progress));
  if (outcome != Outcome::kDone) return outcome;
  // "n size" per line, n counting from 1.
  size_t at = 0;
  while (at < listing.size()) {
    size_t end = listing.find('\n', at);
    if (end == std::string::npos) end = listing.size();
    std::string line = Trim(std::string_view(listing).substr(at, end - at));
    at = end + 1;
    if (line.empty()) continue;
    size_t space = line.find(' ');
    sizes.push_back(space == std::string::npos ? 0 : std::atoll(line.c_str() + space + 1));
  }
  return outcome;
}

Outcome Pop3Session::Retrieve(size_t number, std::string& raw, Progress progress) {
  raw.clear();
  return Request(std::to_string(number), nullptr, &raw, std::move(progress));
}

Outcome Pop3Session::Finish() {
  for (size_t number : doomed_) {
    Outcome outcome = Request(std::to_string(number), "DELE", nullptr, nullptr);
    if (outcome != Outcome::kDone) return outcome;
  }
  doomed_.clear();
  return Outcome::kDone;
}

}  // namespace sorane::mail
