// SMTP sending and POP3 receiving on libcurl (net/curl_session.h: certificate
// checks, time limits, TLS when offered). The server text of メールホスト
// says where and how to connect: "host" (SMTP port 25, POP3 port 110, TLS
// through STARTTLS when the server offers it), "host:port" (587 must switch
// to TLS; 465 and 995 are TLS from the start), or a URL prefix "smtp://",
// "smtps://", "pop3://", "pop3s://". Credentials go to libcurl alone, never
// into a URL or a message.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/curl_session.h"
#include "net/mail/mail_message.h"

namespace sorane::mail {

enum class Protocol { kSmtp, kPop3 };

struct Server {
  std::string url;  // "smtp://host:25/" ...
  bool require_tls = false;
};

// False when the text cannot name a server (empty, a path, blanks, ...).
bool ParseServer(const std::string& text, Protocol protocol, Server& out);

enum class Outcome { kDone, kBadHost, kConnect, kAuth, kStopped, kFailed };

// Called as bytes go (done of total, total 0 when not known); false stops.
using Progress = std::function<bool(int64_t done, int64_t total)>;

// Sends one message: MAIL FROM, RCPT TO for every recipient, DATA. SMTP AUTH
// when `password` is not empty.
Outcome SendMessage(const Server& server, const std::string& user, const std::string& password,
                    const Envelope& envelope, const std::string& message, Progress progress);

// A POP3 session: the login happens with the first request, the session ends
// (QUIT) with the object. Deletions are only noted while messages are fetched
// and sent at the end: libcurl ends a connection whose request failed with
// QUIT, which would make the server delete whatever was marked, so nothing is
// marked until every message has been saved.
class Pop3Session {
 public:
  Pop3Session(const Server& server, std::string user, std::string password)
      : server_(server), user_(std::move(user)), password_(std::move(password)) {}
  // The size of each message in the mailbox (LIST).
  Outcome List(std::vector<int64_t>& sizes, Progress progress);
  Outcome Retrieve(size_t number, std::string& raw, Progress progress);
  // Notes a message to delete when the session is finished.
  void Delete(size_t number) { doomed_.push_back(number); }
  // Marks the noted messages (DELE); the server deletes them at the end.
  Outcome Finish();

 private:
  Outcome Request(const std::string& path, const char* command, std::string* body,
                  Progress progress);
  Server server_;
  std::string user_, password_;
  net::Curl curl_;
  std::vector<size_t> doomed_;
};

}  // namespace sorane::mail
