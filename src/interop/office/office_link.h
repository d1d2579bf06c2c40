// The office layer: what the spreadsheet and word-processor commands ask of
// an office suite, and the one implementation, a helper process driving
// LibreOffice (sorane-office.py beside the executable). Nothing else in the
// run-time knows how the suite is reached.
#pragma once

#include <memory>
#include <string>

namespace sorane {

// The two halves of the suite. Each has its own current document (and, for
// the spreadsheet, its current sheet) and the documents the script opened or
// created there.
enum class OfficeHalf { kSpreadsheet, kDocument };

// The answer to one request. Texts are UTF-8.
struct OfficeReply {
  enum class Kind {
    kOk,
    kFailed,   // the suite refused or failed; `text` says why
    kMissing,  // the suite (or its automation binding) is not installed
  };
  Kind kind = Kind::kOk;
  std::string text;   // the value, or the reason
  std::string extra;  // kOk: the kind of a cell value ("s", "n"); kMissing: the packages
  bool ok() const { return kind == Kind::kOk; }
};

class OfficeLink {
 public:
  virtual ~OfficeLink() = default;
  // Starts the suite or attaches to a running one on first use, then adds a
  // new document to `half`; text "started" or "attached".
  virtual OfficeReply Start(OfficeHalf half) = 0;
  virtual OfficeReply Open(OfficeHalf half, const std::string& os_path) = 0;
  // Writes the current document to `os_path` in the format of `extension`
  // (without the dot); the document keeps its own name.
  virtual OfficeReply Export(OfficeHalf half, const std::string& os_path,
                             const std::string& extension) = 0;
  // Prints the current document on the default printer (text "printed") or,
  // without one, writes it as PDF to `os_pdf` (text "pdf").
  virtual OfficeReply Print(OfficeHalf half, const std::string& os_pdf) = 0;
  // Closes, without saving, the documents the script opened or created in
  // `half`; the suite ends when it was started here and no half holds it.
  virtual OfficeReply Quit(OfficeHalf half) = 0;
  virtual OfficeReply SetCell(int column, int row, const std::string& value) = 0;
  // text: the value; extra: "n" for a number (text in Python's float form).
  virtual OfficeReply GetCell(int column, int row) = 0;
  virtual OfficeReply SetBookmark(const std::string& name, const std::string& text) = 0;
  virtual OfficeReply AppendText(const std::string& text) = 0;
  virtual OfficeReply BodyText() = 0;
  virtual OfficeReply RunMacro(OfficeHalf half, const std::string& name) = 0;
};

// The helper-process link. The helper is started on the first request and
// ended (with any suite it started) when the link goes.
std::unique_ptr<OfficeLink> MakeHelperLink();

}  // namespace sorane
