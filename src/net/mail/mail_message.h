// The outgoing message of メール送信: the envelope (sender and every recipient,
// blind copies included) and the message bytes (headers MIME-encoded as
// ISO-2022-JP encoded words, the body in ISO-2022-JP, attachments in BASE64).
// All inputs are CP932 texts; the message is 7-bit with CR LF line ends.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace sorane::mail {

struct Attachment {
  std::string name;  // the file name shown to the receiver (CP932, no folder)
  std::string data;  // the file's bytes
};

struct Outgoing {
  std::string subject;    // メールタイトル
  std::string body;       // メール本文
  std::string to;         // メール送信先, one recipient per line
  std::string cc;         // メールCC
  std::string bcc;        // メールBCC
  std::string from;       // メール送信元 (also the reply-to address)
  std::string from_name;  // メール送信者名
  std::string mailer;     // the host window's caption
  std::vector<Attachment> attachments;
};

struct Envelope {
  std::string from;                     // bare address for MAIL FROM
  std::vector<std::string> recipients;  // bare addresses for RCPT TO: to, cc, bcc
};

// Checks the addresses and builds the envelope. An address holding a CR or LF
// (it would end the SMTP command early) gives false with `error` set to the
// reason (CP932).
bool BuildEnvelope(const Outgoing& mail, Envelope& envelope, std::string& error);

// The message as sent: headers, body and attachments. `now` gives the Date
// header in local time with the real zone offset; `boundary` separates the
// parts when there are attachments.
std::string BuildMessage(const Outgoing& mail, std::time_t now, const std::string& boundary);

// A boundary no part of the message can contain.
std::string NewBoundary();

// "Tue, 09 Dec 2025 20:54:29 +0900": English day and month names, the local
// offset from UTC.
std::string MailDate(std::time_t now);

// The recipients of a list variable: lines split at CR LF, each trimmed,
// empty lines left out.
std::vector<std::string> RecipientLines(const std::string& list);
// The bare address of a recipient: what stands between "<" and ">", else the
// whole text.
std::string BareAddress(const std::string& recipient);

}  // namespace sorane::mail
