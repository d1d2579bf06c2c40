// The receive folder of メール受信: for each message the summary n.txt, the raw
// message n.eml and its attachments. Names chosen by the sender never become
// paths: an attachment keeps only the last part of its name, is created only
// where nothing exists (never through a link), and a name in use gets " (2)",
// " (3)" ... before its extension.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/mail/mail_parse.h"

namespace sorane::mail {

class ReceiveFolder {
 public:
  // `os_folder`: the folder as an OS path ending in "/"; it exists.
  explicit ReceiveFolder(std::string os_folder) : folder_(std::move(os_folder)) {}

  // Writes one message: n is the smallest number for which neither n.txt nor
  // n.eml exists. True when every file is complete; on failure (errno set)
  // the files made for this message are removed again.
  bool Save(std::string_view raw, const Received& mail);
  // The number the last saved message got.
  int last_number() const { return last_; }

 private:
  bool WriteAttachment(const ReceivedPart& part, size_t index, std::string& used,
                       std::vector<std::string>& created);

  std::string folder_;
  int next_ = 1;
  int last_ = 0;
};

// An attachment's name as a name in the folder (CP932): the last part after
// "/", "\" or ":", without leading dots and blanks, line breaks made spaces;
// "添付" + index + `fallback_extension` when nothing is left.
std::string SafeAttachmentName(const std::string& name, size_t index,
                               const std::string& fallback_extension);

// The summary n.txt (CP932, CR LF after every line): "添付ファイル:" lines
// with the names used, 返信先 when there is a Return-Path, 送信者, 受信者,
// 日時, 件名, then 本文:, an empty line and the body.
std::string SummaryText(const Received& mail, const std::vector<std::string>& names);

}  // namespace sorane::mail
