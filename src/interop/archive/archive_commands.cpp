// 圧縮, 解凍 and 自己解凍書庫作成.
//
// Every command asks the security policy first, with the archive it writes or
// the folder it extracts into, and does nothing when refused. Archives and
// programs are built under a temporary name beside the target and put in
// place only when complete, so a failure leaves an old file as it was.
// Extraction keeps every entry inside the destination (archive_io.h) and
// passes each destination through the security.ini guard. Temporary files of
// 自己解凍書庫作成 are made new (O_EXCL) in the run's private folder.
#include <fcntl.h>
#include <unistd.h>

#include "interop/archive/archive.h"
#include "interop/archive/archive_format.h"
#include "interop/archive/archive_io.h"
#include "library/files/files_commands.h"
#include "library/files/files_util.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/run_temp.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/startup.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

ProgramPacker g_packer = nullptr;

// The format of `archive` for reading or writing; raises the format's error.
const ArchiveFormat& FormatFor(Interpreter& in, const std::string& archive, bool write) {
  const ArchiveFormat& format = FormatOfArchive(archive);
  if (format.kind == ArchiveKind::kNone) in.Raise(SJ("書庫の形式を判別できません。"));
  if (format.kind == ArchiveKind::kGca) in.Raise(SJ("書庫の形式を特定できませんでした。"));
  if (!format.readable)
    in.Raise(std::string(format.name) + SJ(" を扱うには ") + format.library + SJ(" が 必要です。"));
  if (write && format.writer == ArchiveWriter::kNone)
    in.Raise(SJ("この形式では書庫ファイルの作成をサポートしておりません。"));
  return format;
}

std::string OptionVariable(Interpreter& in, const char* utf8_name) {
  return in.S.Words.ValueOf(Utf8ToSjis(utf8_name), false);
}

// ---------------------------------------------------------------- 圧縮

struct CompressJob {
  const ArchiveFormat* format = nullptr;
  std::string archive;      // CP932, as the script named it
  std::string option_text;  // 圧縮オプション as set
  ArchiverOptions options;
  std::vector<ArchiveSource> sources;
  std::string base;   // CP932, for messages
  std::string names;  // the list as the archive names it, for messages
};

void SplitList(const std::string& list, std::vector<std::string>& lines) {
  for (size_t pos = 0; pos < list.size();) {
    size_t end = list.find('\n', pos);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    pos = end + 1;
  }
}

std::string OsAbsolute(const std::string& name) {
  return NormalizeOsPath(ToOsPath(AbsoluteName(name)));
}

// The entry name of `path` (absolute, normalised): the part after the base
// folder when it lies there, else the whole path without its leading "/".
std::string EntryFor(const std::string& path, const std::string& base) {
  if (path + "/" == base) return {};
  if (path.compare(0, base.size(), base) == 0) return path.substr(base.size());
  return path.substr(1);
}

// The file list, made absolute from the current folder, under the base-folder
// rule: the base is the folder of the longest line, and names in it lose it.
void CollectList(const std::string& list, CompressJob& job) {
  std::vector<std::string> lines;
  SplitList(list, lines);
  std::vector<std::string> absolute;
  size_t longest = 0;
  for (const std::string& line : lines) {
    absolute.push_back(AbsoluteName(line));
    if (absolute.back().size() > absolute[longest].size()) longest = absolute.size() - 1;
  }
  std::string base;
  if (!absolute.empty()) {
    base = NormalizeOsPath(ToOsPath(ExtractFolder(absolute[longest])));
    if (base != "/") base += "/";
  }
  job.base = FromOsPath(base);
  for (const std::string& name : absolute) {
    std::string folder, pattern;
    SplitFolderAndName(name, folder, pattern);
    std::vector<std::string> paths;
    if (HasFileWildcard(pattern)) {
      for (const ListedEntry& e : ListMatching(folder, pattern, ListKind::kAll))
        paths.push_back(OsAbsolute(folder + e.name));
    } else {
      paths.push_back(OsAbsolute(name));
    }
    for (std::string& path : paths) {
      std::string entry = EntryFor(path, base);
      job.names += (job.names.empty() ? "" : "\n") + FromOsPath(entry.empty() ? path : entry);
      job.sources.push_back({std::move(path), std::move(entry)});
    }
  }
}

CompressJob PrepareCompress(Interpreter& in, const std::string& list, const std::string& archive) {
  CompressJob job;
  job.archive = archive;
  job.format = &FormatFor(in, archive, true);
  job.option_text = OptionVariable(in, "圧縮オプション");
  job.options = ArchiverOptions::Parse(job.option_text);
  job.options.Set("x", 1);
  job.options.Set("jso", 1);
  CollectList(list, job);
  return job;
}

[[noreturn]] void RaiseCompressFailure(Interpreter& in, const CompressJob& job,
                                       const std::string& reason) {
  std::string line =
      ArchiverCommandLine(job.format->add_letter, job.options, job.archive, job.base, job.names);
  in.Raise(SJ("ファイル圧縮のエラー。コマンドライン=\"") + line + SJ("\"。オプション=\"") +
           job.option_text + SJ("\"。") + reason);
}

// Writes the archive of `job` into `fd`; raises on failure.
void WriteJob(Interpreter& in, const CompressJob& job, int fd) {
  CompressSettings settings;
  settings.recurse = job.options.Get("r", 2) >= 1;
  settings.hidden = job.options.Get("a", 1) >= 1;
  settings.store_only = job.options.Get("z", 0) >= 1;
  std::string reason = WriteArchive(fd, *job.format, job.sources, settings);
  if (!reason.empty()) RaiseCompressFailure(in, job, reason);
}

// 圧縮 (?を,?へ): the list of files, the archive.
void CmdCompress(Call& c) {
  Interpreter& in = c.in;
  std::string list = c.Text(0);
  std::string archive = WithArchiveExtension(c.Text(1));
  std::string os = CheckedOsPath(in, archive);
  if (!SecurityCheck(in, archive, QuotedQuestion(archive, SJ("へ圧縮します。")))) return;
  CompressJob job = PrepareCompress(in, list, archive);
  AtomicFile out;
  if (!out.Open(os)) RaiseCompressFailure(in, job, SystemReason(errno));
  WriteJob(in, job, out.Fd());
  if (!out.Commit()) RaiseCompressFailure(in, job, SystemReason(errno));
}

// ---------------------------------------------------------------- 解凍

// The file name of `archive` without its extension, for an archive that is
// one compressed file.
std::string SingleFileName(const std::string& os_archive) {
  std::string name = os_archive.substr(os_archive.rfind('/') + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

void Extract(Interpreter& in, const std::string& archive, const std::string& folder) {
  const ArchiveFormat& format = FormatFor(in, archive, false);
  std::string option_text = OptionVariable(in, "解凍オプション");
  ArchiverOptions options = ArchiverOptions::Parse(option_text);
  options.Set("jse", 1);
  options.Set("jso", 1);
  std::string source = ResolveFileName(in, PackedFirst(in, archive));
  std::string os_source = ToOsPath(source);
  std::string os_folder = ToOsPath(folder);
  ExtractSettings settings;
  settings.kind = format.kind;
  settings.keep_paths = options.Get("x", 1) >= 1;
  settings.overwrite_newer = options.Get("c", 0) >= 1;
  if (format.filter != ArchiveFilter::kNone) settings.single_name = SingleFileName(os_source);
  std::string reason;
  if (!MakeOsFolders(os_folder)) {
    reason = SJ("フォルダを作成できません。") + SystemReason(errno);
  } else {
    reason = ExtractArchive(os_source, os_folder, settings, [&](const std::string& os_path) {
      return SecurityIniGuard(in, FromOsPath(os_path));
    });
  }
  if (reason.empty()) return;
  in.Raise(SJ("解凍のエラー。解凍先\"") + folder + SJ("\"、解凍元\"") + archive +
           SJ("\"。オプション=\"") + option_text + SJ("\"。") + reason);
}

// 解凍 (?を,?へ): the archive, the folder to extract into.
void CmdExtract(Call& c) {
  Interpreter& in = c.in;
  std::string archive = WithArchiveExtension(c.Text(0));
  std::string folder = c.Text(1);
  if (folder.empty()) folder = CurrentFolder();
  CheckedOsPath(in, folder);
  if (!SecurityCheck(in, folder, QuotedQuestion(folder, SJ("へ解凍します。")))) return;
  Extract(in, archive, folder);
}

// ---------------------------------------------------------------- 自己解凍書庫作成

// The run's private folder for the temporary files of this family.
struct ArchiveTemp {
  RunTempDir folder;
};

// A temporary file of 自己解凍書庫作成, closed and removed when the command
// ends, however it ends.
struct TempFile {
  std::string path;
  int fd = -1;
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd >= 0) close(fd);
    if (!path.empty()) unlink(path.c_str());
  }
  bool Close() {
    int f = fd;
    fd = -1;
    return close(f) == 0;
  }
};

// Makes the new file srpackN + `ext` (N = 1, 2, ...) in the private folder;
// raises when none can be made.
void CreateTemp(Interpreter& in, const std::string& ext, TempFile& file) {
  RunTempDir& temp = in.S.RunStates.Get<ArchiveTemp>().folder;
  for (int n = 1; n < 100000; ++n) {
    file.fd = temp.Create("srpack" + std::to_string(n) + ext, file.path);
    if (file.fd >= 0) return;
    file.path.clear();
    if (errno != EEXIST) break;
  }
  in.Raise(msg::FileFailure(), FromOsPath(temp.Path() + "/srpack" + ext));
}

// 自己解凍書庫作成 (?を,?へ): the files (or an .lzh archive), the program to write.
void CmdMakeSelfExtracting(Call& c) {
  Interpreter& in = c.in;
  std::string list = c.Text(0);
  std::string program = c.Text(1);
  std::string os_program = CheckedOsPath(in, program);
  if (!SecurityCheck(in, program, QuotedQuestion(program, SJ("へ自己解凍書庫を作成します。"))))
    return;
  if (!g_packer) in.Raise(SJ("この形式では自己解凍書庫の作成をサポートしておりません。"));
  TempFile packed, script;
  std::string archive, entry;
  if (AsciiUpper(CutExtension(list)) == ".LZH" && list.find('\n') == std::string::npos) {
    archive = ToOsPath(ResolveFileName(in, PackedFirst(in, list)));
    if (!FileExists(FromOsPath(archive))) in.Raise(msg::FileMissing(), list);
    entry = "ARCHIVE.LZH";
  } else {
    CreateTemp(in, ".tar.gz", packed);
    archive = packed.path;
    CompressJob job = PrepareCompress(in, list, FromOsPath(archive));
    WriteJob(in, job, packed.fd);
    if (!packed.Close()) RaiseCompressFailure(in, job, SystemReason(errno));
    entry = "ARCHIVE.TAR.GZ";
  }
  std::string options = ArchiverOptions::Parse(OptionVariable(in, "自己解凍書庫オプション")).Text();
  CreateTemp(in, ".srn", script);
  bool written = AppendToFd(script.fd, SelfExtractorScript(entry, options));
  if (!script.Close() || !written) in.Raise(msg::FileFailure(), FromOsPath(script.path));
  std::string error;
  bool missing_runtime = false;
  if (g_packer(os_program, script.path, {{archive, entry}}, error, missing_runtime)) return;
  if (missing_runtime)
    in.Raise(SJ("自己解凍書庫の作成には '") + FromOsPath(ExecutablePath()) +
             SJ("' ファイルが必要です。"));
  in.Raise(Format(msg::FileFailure(), program) + Utf8ToSjisKeepingBytes(error));
}

}  // namespace

void SetProgramPacker(ProgramPacker packer) {
  g_packer = packer;
}

std::string SelfExtractorScript(const std::string& entry, const std::string& options) {
  return SJ("' 自己解凍書庫: 最初の引数のフォルダ、ないときは選んだフォルダへ解凍する\r\n") +
         SJ("解凍オプションは、「") + options + SJ("」\r\n") +
         SJ("展開先は、コマンドライン引数#1\r\n") +
         SJ("もし、LEFT(展開先,1)が、「-」ならば、展開先は、「」\r\n") +
         SJ("もし、展開先が、「」ならば（\r\n") + SJ("  フォルダ選択\r\n") +
         SJ("  もし、それが、ダイアログキャンセルの値ならば、おわり\r\n") +
         SJ("  展開先は、それ\r\n") + SJ("）\r\n") + SJ("「") + entry +
         SJ("」を、展開先へ、解凍\r\n") + SJ("「{展開先}へ解凍しました。」と、言う\r\n") +
         SJ("おわり\r\n");
}

CommandTable ArchiveCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Compress, "圧縮", "?を,?へ", CmdCompress, kActs},
      {CommandId::Extract, "解凍", "?を,?へ", CmdExtract, kActs},
      {CommandId::MakeSelfExtracting, "自己解凍書庫作成", "?を,?へ", CmdMakeSelfExtracting, kActs},
  };
  return kRows;
}

}  // namespace sorane
