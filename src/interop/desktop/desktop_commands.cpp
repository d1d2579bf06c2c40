// Other windows and the machine: アクティブ, キー送信, ウインドウ列挙,
// メッセージ送信 (emulated on script objects), the network neighbourhood, and
// the user name, computer name and addresses.
//
// Other windows are X11 windows (X11Display). Without an X display (Wayland
// without its X server, or no display) the run-time's own windows are listed
// and activated, and nothing is typed; the console has no windows at all.
#include <netdb.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <thread>

#include "interop/desktop/key_string.h"
#include "interop/desktop/smb_browse.h"
#include "interop/desktop/x11_keys.h"
#include "library/objects/backend.h"
#include "library/objects/object_access.h"
#include "library/objects/properties.h"
#include "platform/x11_display.h"
#include "runtime/command.h"
#include "runtime/events.h"
#include "runtime/host.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// Titles and names are read up to this many characters (CharCopy).
constexpr long long kNameChars = 255;

// ---------------------------------------------------------------- windows

// A window the commands can reach: another program's on X11, else one of the
// run-time's own (`object` its object index).
struct Reachable {
  std::string title;  // CP932, at most 255 characters
  unsigned long x11 = 0;
  int object = -1;
};

// Without an X display (Wayland, or none at all) only the run-time's own
// windows are within reach: the host window, when the run has one, and the
// shown フォーム objects.
std::vector<Reachable> OwnWindows(Interpreter& in) {
  std::vector<Reachable> out;
  if (!in.host.Surface().DrawsText()) return out;  // the console has no windows
  out.push_back({CharCopy(in.host.Window().WindowCaption(), 1, kNameChars), 0, 0});
  const std::string title = Utf8ToSjis(PropertyRowOf(PropId::kTitle).name);
  for (int i = 1; i < in.S.Objects.Count(); ++i) {
    TObjNode* node = in.S.Objects.Get(i);
    THashNode* word = node && !node->Name.empty() ? in.S.Words.FindExact(node->Name) : nullptr;
    if (!word || node->Kind != ObjKind::kForm ||
        !Backend(in).GetProperty(i, PropId::kVisible).number)
      continue;
    out.push_back({CharCopy(GetPropertyOf(in, {word, node}, title).text, 1, kNameChars), 0, i});
  }
  return out;
}

std::vector<Reachable> ReachableWindows(Interpreter& in, X11Display* display) {
  if (!display) return OwnWindows(in);
  std::vector<Reachable> out;
  for (const X11Display::Window& w : display->TopLevelWindows())
    if (w.visible) out.push_back({CharCopy(Utf8ToSjis(w.title), 1, kNameChars), w.id, -1});
  return out;
}

// The window whose title is `title`, else the first (topmost first) whose
// title begins with it. An empty title names no window: every title would
// begin with it, and keys would go to whichever window came first.
std::optional<Reachable> FindWindowByTitle(Interpreter& in, X11Display* display,
                                           const std::string& title) {
  if (title.empty()) return std::nullopt;
  std::optional<Reachable> prefix;
  for (Reachable& w : ReachableWindows(in, display)) {
    if (w.title == title) return w;
    if (!prefix && w.title.starts_with(title)) prefix = w;
  }
  return prefix;
}

// Brings the window to the front; on X11, waits (up to 512 checks 10 ms
// apart, the run-time's own events processed meanwhile) until it is active.
bool Activate(Interpreter& in, X11Display* display, const std::string& title) {
  std::optional<Reachable> w = FindWindowByTitle(in, display, title);
  if (!w) return false;
  if (!display) {
    if (w->object == 0)
      in.host.Window().WindowCommand(HostWindow::WindowAction::kShow);
    else
      Backend(in).Focus(w->object);
    return true;
  }
  display->RequestActivation(w->x11);
  for (int i = 0; i < 512; ++i) {
    if (display->IsActive(w->x11)) return true;
    in.host.EventLoop().ProcessEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void CmdActivate(Call& c) {
  std::string title = c.Text(0);
  Activate(c.in, X11Display::Open().get(), title);
}

// Keys are typed on X11 only: elsewhere a program cannot type into windows.
void CmdSendKeys(Call& c) {
  std::string title = c.Text(0);
  std::string keys = c.Text(1);
  auto display = X11Display::Open();
  if (!display || !Activate(c.in, display.get(), title)) return;
  HostEventLoop& loop = c.in.host.EventLoop();
  loop.ProcessEvents();
  TypeKeySteps(*display, ParseKeyString(keys), [&loop] { loop.ProcessEvents(); });
}

void CmdListWindows(Call& c) {
  std::string out;
  for (const Reachable& w : ReachableWindows(c.in, X11Display::Open().get()))
    if (!w.title.empty()) out += w.title + "\r\n";
  c.ReturnText(std::move(out));
}

// ---------------------------------------------------------------- messages

// The messages メッセージ送信 understands, by their usual numbers.
enum Message : long long {
  kEnable = 10,         // wparam: 0 disables, else enables
  kSetText = 12,        // lparam: the variable holding the text
  kGetText = 13,        // wparam: room including the end mark; lparam: the variable to fill
  kGetTextLength = 14,  // the length of the text in bytes
  kClose = 16,          // hides an object; closes the host window
  kShowWindow = 24,     // wparam: 0 hides, else shows
  kClick = 245,         // as if clicked
};

// A number as messages take them: decimal, or "$" and hex digits; 0 for text
// that is not a number.
long long MessageNumber(std::string_view s) {
  std::string t = Trim(s);
  bool negative = !t.empty() && t[0] == '-';
  size_t i = negative ? 1 : 0;
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= t.size()) return 0;
  long long v = 0;
  for (; i < t.size(); ++i) {
    char ch = t[i];
    int d = ch >= '0' && ch <= '9'   ? ch - '0'
            : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
            : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                     : 99;
    if (d >= base) return 0;
    if (v > (LLONG_MAX - d) / base) return 0;
    v = v * base + d;
  }
  return negative ? -v : v;
}

struct MessageTarget {
  Interpreter& in;
  FoundObject object;

  bool Can(PropId id, bool set) const {
    const PropertyRow& row = PropertyRowOf(id);
    if (set) return RouteSet(row, object.node->Kind) == SetRoute::kWidget;
    GetRoute route = RouteGet(row, object.node->Kind);
    return route == GetRoute::kWidget || route == GetRoute::kWordValue;
  }
  void Set(PropId id, const std::string& value) {
    SetPropertyOf(in, object, Utf8ToSjis(PropertyRowOf(id).name), Requote(value));
  }
  std::string Get(PropId id) {
    return GetPropertyOf(in, object, Utf8ToSjis(PropertyRowOf(id).name)).text;
  }
};

// lparam as a variable: the word it names, made when missing. Only variables
// are read or filled; no address of anything is ever handed out.
THashNode* LparamVariable(Call& c, const std::string& name) {
  THashNode* w = c.in.S.Words.FindExact(name);
  if (!w) w = c.in.AddVariable(name);
  if (w->Kind != kWordVariable || w->Reserved) c.BadArgument();
  return w;
}

void CmdSendMessage(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  std::string text = MapText(c.Text(1), MapMode::HalfWidth);
  int index = in.S.Objects.IndexOf(name);
  TObjNode* node = index >= 0 ? in.S.Objects.Get(index) : nullptr;
  THashNode* word = node ? in.S.Words.FindExact(node->Name) : nullptr;
  if (!node || !word) in.Raise(msg::ObjectNotFound(), name);

  size_t first = text.find(',');
  size_t second = first == std::string::npos ? first : text.find(',', first + 1);
  long long message = MessageNumber(text.substr(0, first));
  long long wparam =
      first == std::string::npos ? 0 : MessageNumber(text.substr(first + 1, second - first - 1));
  std::string lparam = second == std::string::npos ? "" : Trim(text.substr(second + 1));
  bool lparam_is_variable =
      !lparam.empty() && lparam[0] != '$' && !(lparam[0] >= '0' && lparam[0] <= '9');
  THashNode* variable = lparam_is_variable ? LparamVariable(c, lparam) : nullptr;

  MessageTarget target{in, {word, node}};
  long long result = 0;
  switch (message) {
    case kEnable:
      if (target.Can(PropId::kEnabled, true)) target.Set(PropId::kEnabled, wparam ? "1" : "0");
      break;
    case kShowWindow:
      if (target.Can(PropId::kVisible, true)) target.Set(PropId::kVisible, wparam ? "1" : "0");
      break;
    case kClose:
      if (index == 0)
        in.host.Window().Close();
      else if (target.Can(PropId::kVisible, true))
        target.Set(PropId::kVisible, "0");
      break;
    case kSetText:
      // lparam 0 empties the text; any other number is no text at all.
      if (target.Can(PropId::kText, true) &&
          (variable || lparam.empty() || MessageNumber(lparam) == 0)) {
        target.Set(PropId::kText, variable ? variable->Value() : std::string());
        result = 1;
      }
      break;
    case kGetText:
      if (variable && wparam > 0 && target.Can(PropId::kText, false)) {
        std::string got = target.Get(PropId::kText);
        // Room for wparam - 1 bytes, never splitting a character.
        size_t keep = 0;
        while (keep < got.size() && keep + CharLen(got, keep) <= size_t(wparam - 1))
          keep += CharLen(got, keep);
        variable->ValueToWrite() = got.substr(0, keep);
        variable->TypeMark = "s";
        result = (long long)keep;
      }
      break;
    case kGetTextLength:
      if (target.Can(PropId::kText, false)) result = (long long)target.Get(PropId::kText).size();
      break;
    case kClick:
      FireEvent(in, *node, kEventClick);
      break;
    default:
      break;  // other messages mean nothing to a script object
  }
  c.ReturnInt(result);
}

// ---------------------------------------------------------------- the network

std::string Lines(const std::vector<std::string>& names, const std::string& prefix) {
  std::string out;
  for (const std::string& n : names) out += prefix + Utf8ToSjis(n) + "\r\n";
  return out;
}

void CmdListDomains(Call& c) {
  c.ReturnText(Lines(BrowseSmb(SmbList::kWorkgroups, ""), ""));
}

std::string ComputersOf(const std::string& domain, bool with_domain) {
  return Lines(BrowseSmb(SmbList::kComputers, SjisToUtf8(domain)),
               with_domain ? domain + "\\\\" : "\\\\");
}

void ListComputers(Call& c, bool with_domain) {
  bool implied = c.in.S.SoreImplied;
  std::string domain = c.Text(0);
  if (!implied && !domain.empty()) {
    c.ReturnText(ComputersOf(domain, with_domain));
    return;
  }
  std::string out;
  for (const std::string& d : BrowseSmb(SmbList::kWorkgroups, ""))
    if (!d.empty()) out += ComputersOf(Utf8ToSjis(d), with_domain);
  c.ReturnText(Trim(out));
}

void CmdListComputers(Call& c) {
  ListComputers(c, false);
}

void CmdListComputersWithDomain(Call& c) {
  ListComputers(c, true);
}

void CmdListShares(Call& c) {
  std::string computer = c.Text(0);
  while (computer.starts_with("\\")) computer.erase(0, 1);
  c.ReturnText(Lines(BrowseSmb(SmbList::kShares, SjisToUtf8(computer)), "\\\\" + computer + "\\"));
}

// ---------------------------------------------------------------- the machine

void CmdUserName(Call& c) {
  std::string name;
  if (const passwd* pw = getpwuid(getuid())) name = pw->pw_name;
  if (name.empty())
    if (const char* user = getenv("USER")) name = user;
  c.ReturnText(CharCopy(Utf8ToSjis(name), 1, kNameChars));
}

std::string HostName() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return {};
  return buf;
}

void CmdComputerName(Call& c) {
  c.ReturnText(CharCopy(Utf8ToSjis(HostName()), 1, kNameChars));
}

// The first IPv4 address of a host; an empty name is this computer.
void CmdIpAddress(Call& c) {
  std::string name = SjisToUtf8(c.Text(0));
  if (name.empty()) name = HostName();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  std::string out = "(N/A)";
  if (!name.empty() && getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0 && found) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const auto* b = reinterpret_cast<const unsigned char*>(&a->sin_addr.s_addr);
    out = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
          std::to_string(b[3]);
  }
  if (found) freeaddrinfo(found);
  c.ReturnText(out);
}

}  // namespace

CommandTable DesktopCommands() {
  // clang-format off
  static constexpr CommandRow kRows[] = {
      {CommandId::Activate, "アクティブ", "?を", CmdActivate, kActs},
      {CommandId::SendKeys, "キー送信", "?に,?を", CmdSendKeys, kActs},
      {CommandId::ListWindows, "ウインドウ列挙", "", CmdListWindows, kActs},
      {CommandId::ListWindows, "ウィンドウ列挙", "", CmdListWindows, kActs},
      {CommandId::SendMessage, "メッセージ送信", "?に,?と", CmdSendMessage, kActs},
      {CommandId::ListNetworkComputers, "ネットワークコンピューター列挙", "?の", CmdListComputers, kActs},
      {CommandId::ListSharedFolders, "共有フォルダ列挙", "?の", CmdListShares, kActs},
      {CommandId::UserName, "ユーザー名取得", "", CmdUserName, kActs},
      {CommandId::ComputerName, "コンピューター名取得", "", CmdComputerName, kActs},
      {CommandId::IpAddress, "IPアドレス取得", "?の", CmdIpAddress, kActs},
      {CommandId::ListNetworkComputersWithDomain, "ネットワークコンピューター列挙ドメイン付き", "?の", CmdListComputersWithDomain, kActs},
      {CommandId::ListNetworkDomains, "ネットワークドメイン列挙", "", CmdListDomains, kActs},
  };
  // clang-format on
  return kRows;
}

}  // namespace sorane
