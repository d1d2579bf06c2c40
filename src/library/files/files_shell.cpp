// Files, folders and paths — the desktop side — shortcuts (".desktop"
// launchers), file-type associations (shared MIME database + mimeapps.list, and
// the registry store through FileHooks), opening with the desktop, drive types.
#include <sys/stat.h>
#include <sys/vfs.h>

#include "library/files/files_commands.h"
#include "library/files/files_util.h"
#include "library/library.h"
#include "platform/desktop_entries.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// エクスプローラーで開く (?を): web and mail addresses and paths alike go to
// the desktop's opener; a path is converted to the file system's form.
void CmdExplore(Call& c) {
  std::string what = c.Text(0);
  std::string lower = AsciiLower(what);
  bool address = StartsWith(lower, "http://") || StartsWith(lower, "https://") ||
                 lower.find("mailto:") != std::string::npos;
  if (!address && !IsValidFileName(what)) return;
  OpenWithDesktop(address ? SjisToUtf8(what) : ToOsPath(what));
}

// ドライブ種類判定 (?の): the kind of the file system holding a path. A drive
// letter ("C", "C:", "C:\") names the root folder, the only "drive" here.
std::string DriveKind(const std::string& arg) {
  bool letter = !arg.empty() && std::isalpha(static_cast<unsigned char>(arg[0])) &&
                (arg.size() == 1 || (arg[1] == ':' && arg.size() <= 3));
  std::string os = letter ? std::string("/") : ToOsPath(arg);
  struct statfs fs;
  if (arg.empty() || !IsValidFileName(arg) || statfs(os.c_str(), &fs) != 0) return SJ("存在しない");
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x01021994:  // tmpfs
    case 0x858458f6:  // ramfs
      return SJ("RAMディスク");
    case 0x9660:      // iso9660
    case 0x15013346:  // udf
      return SJ("CD-ROM");
    case 0x6969:      // nfs
    case 0x517B:      // smb
    case 0xFF534D42:  // cifs
    case 0xFE534D42:  // smb2
      return SJ("リモート");
    case 0x4d44:  // vfat / msdos: removable media most of the time
      return SJ("リムーバブルディスク");
    default:
      return SJ("固定");
  }
}

void CmdDriveType(Call& c) {
  c.ReturnMarked(DriveKind(c.Text(0)), "s");
}

// ショートカット作成 (?を,?へ): a launcher file; a "where" ending in a separator
// gets the target's name; the launcher always ends in ".desktop".
void CmdShortcut(Call& c) {
  Interpreter& in = c.in;
  std::string where = Trim(c.Text(1));
  std::string target = Trim(ResolveFileName(in, Trim(c.Text(0))));
  if (target.empty() || where.empty()) return;
  std::string base = target;
  while (EndsWithPathSeparator(base)) base.pop_back();
  if (EndsWithPathSeparator(where)) where += ExtractFileName(base);
  if (AsciiLower(CutExtension(where)) != ".desktop") where = ChangeExtension(where, ".desktop");
  std::string target_os = CheckedOsPath(in, target);
  std::string where_os = CheckedOsPath(in, where);
  if (!SecurityCheck(in, where, SJ("ショートカット\"") + where + SJ("\"を作成します。"))) return;
  WriteShortcut(where_os, NormalizeOsPath(AbsoluteOsPath(target_os)));
}

std::string WithoutLeadingPoint(std::string ext) {
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  return ext;
}

// The application as a full path: as written (from the current folder), else
// found on PATH. "" when there is none.
std::string ApplicationPath(const std::string& app) {
  std::string os = ToOsPath(app);
  struct stat st;
  if (stat(os.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
    return NormalizeOsPath(AbsoluteOsPath(os));
  if (os.find('/') == std::string::npos) return FindProgram(os);
  return {};
}

// 関連付ける (?を,?に,?として)
void CmdAssociate(Call& c) {
  Interpreter& in = c.in;
  std::string description = Trim(c.Text(2));
  std::string app = Trim(c.Text(1));
  std::string ext = WithoutLeadingPoint(Trim(c.Text(0)));
  if (app.empty() || ext.empty()) return;
  CheckedOsPath(in, ext);
  std::string app_os = IsValidFileName(app) ? ApplicationPath(app) : std::string();
  if (app_os.empty())
    in.Raise(Format(msg::BadArgument(), c.cmd.Name) + ":\"" + app + SJ("\"が存在しません。"));
  FileHooks& hooks = GetFileHooks();
  std::string ext_utf8 = SjisToUtf8(ext);
  bool known = (hooks.registry_has_extension && hooks.registry_has_extension(ext)) ||
               ExtensionIsAssociated(ext_utf8);
  std::string question =
      known ? SJ("既に関連付けされている拡張子\"") + ext + SJ("\"を、\"") + app +
                  SJ("\"へ関連付けを変更します。")
            : SJ("拡張子\"") + ext + SJ("\"を、\"") + app + SJ("\"へ関連付けます。");
  if (!SecurityCheck(in, "*", question)) return;
  std::string icon = ToOsPath(in.S.RuntimePath) + "sorane.ico";
  struct stat st;
  if (stat(icon.c_str(), &st) != 0) icon.clear();
  AssociateExtension(ext_utf8, app_os, SjisToUtf8(description), icon);
  if (hooks.registry_associate)
    hooks.registry_associate(ext, description, FromOsPath(icon),
                             "\"" + FromOsPath(app_os) + "\" \"%1\"");
}

// 関連付けを削除 (?の)
void CmdUnassociate(Call& c) {
  Interpreter& in = c.in;
  std::string ext = WithoutLeadingPoint(Trim(c.Text(0)));
  if (ext.empty() || !IsValidFileName(ext)) return;
  if (!SecurityCheck(in, "*", SJ("拡張子\"") + ext + SJ("\"の関連付けを削除します。"))) return;
  RemoveExtensionAssociation(SjisToUtf8(ext));
  FileHooks& hooks = GetFileHooks();
  if (hooks.registry_unassociate) hooks.registry_unassociate(ext);
}

}  // namespace

CommandTable FileShellCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Shortcut, "ショートカット作成", "?を,?へ", CmdShortcut, kActs},
      {CommandId::Explore, "エクスプローラーで開く", "?を", CmdExplore, kActs},
      {CommandId::Associate, "関連付ける", "?を,?に,?として", CmdAssociate, kActs},
      {CommandId::Unassociate, "関連付けを削除", "?の", CmdUnassociate, kActs},
      {CommandId::DriveType, "ドライブ種類判定", "?の", CmdDriveType, kActs},
  };
  return kRows;
}

}  // namespace sorane
