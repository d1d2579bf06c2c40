#include "interop/dde/dde_server.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <utility>

#include "debug/editor_link.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane::dde {

namespace {

// How long a conversation waits for each answer; an instance that does not
// answer whether it serves the topic within kLinkAnswerMs is passed over.
constexpr int kAnswerMs = 5000;
constexpr int kLinkAnswerMs = 1000;
// Connections served at once; more are closed at once.
constexpr size_t kMaxConnections = 32;

// Every server by its interpreter, so DDEサーバー作成 finds the one the host started.
std::vector<std::pair<Interpreter*, Server*>>& Registry() {
  static std::vector<std::pair<Interpreter*, Server*>> servers;
  return servers;
}

// A server made by the run itself when the host started none.
struct RunServer {
  std::unique_ptr<Server> server;
};

std::string ToWire(const std::string& sjis) {
  return SjisToUtf8KeepingBytes(sjis);
}

// Received text as the run-time holds it: CP932 with CR LF line breaks.
std::string FromWire(const std::string& utf8) {
  std::string text = Utf8ToSjisKeepingBytes(utf8);
  text = ReplaceText(text, "\r\n", "\n", true);
  text = ReplaceText(text, "\r", "\n", true);
  return ReplaceText(text, "\n", "\r\n", true);
}

bool SameName(const std::string& a, const std::string& b) {
  return AsciiLower(a) == AsciiLower(b);
}

THashNode* DdeText(Interpreter& in) {
  THashNode* w = in.S.Words.FindExact(SJ("DDE文字列"));
  if (!w) w = in.S.Words.AddVariable(SJ("DDE文字列"), "", "s", 0);
  return w;
}

}  // namespace

// ---------------------------------------------------------------- server

Server::Server(Interpreter& in) : in_(in), loop_(in.host.EventLoop()) {
  Registry().emplace_back(&in, this);
  service_ = OwnServiceName();
  listener_ = ListenAsService(service_, path_);
  if (!listener_) path_.clear();
  UpdateWatches();
}

Server::~Server() {
  *alive_ = false;
  auto& r = Registry();
  r.erase(std::remove(r.begin(), r.end(), std::make_pair(&in_, this)), r.end());
  for (auto& c : connections_) loop_.UnwatchDescriptor(c->socket.get());
  if (listener_) loop_.UnwatchDescriptor(listener_.get());
  StopListening(path_);
}

Server& Server::Of(Interpreter& in) {
  for (auto& [owner, server] : Registry())
    if (owner == &in) return *server;
  RunServer& own = in.S.RunStates.Get<RunServer>();
  if (!own.server) own.server = std::make_unique<Server>(in);
  return *own.server;
}

Server::AddResult Server::AddTopic(const std::string& name, const TPos& label) {
  if (topics_.size() >= kMaxTopics) return AddResult::kFull;
  // A topic is named like an identifier and only once (the run-time's own
  // topic included).
  bool identifier = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (unsigned char c : name) identifier = identifier && (isalnum(c) || c == '_') && c < 0x80;
  if (!listener_ || !identifier || FindTopic(name) >= 0) return AddResult::kFailed;
  topics_.push_back({name, label});
  PublishTopic(path_, ToWire(name));
  UpdateWatches();
  return AddResult::kAdded;
}

int Server::FindTopic(const std::string& name) const {
  if (SameName(name, "command")) return kCommandTopic;
  for (size_t i = 0; i < topics_.size(); ++i)
    if (SameName(topics_[i].name, name)) return static_cast<int>(i);
  return -1;
}

void Server::Watch(Connection& c) {
  uint64_t id = c.id;
  unsigned events =
      HostEventLoop::kWatchRead | (c.out.empty() ? 0u : unsigned{HostEventLoop::kWatchWrite});
  loop_.WatchDescriptor(c.socket.get(), events, !topics_.empty(),
                        [this, id](unsigned ready) { OnReady(id, ready); });
}

void Server::UpdateWatches() {
  if (!listener_) return;
  loop_.WatchDescriptor(listener_.get(), HostEventLoop::kWatchRead, !topics_.empty(),
                        [this](unsigned) { OnAccept(); });
  for (auto& c : connections_) Watch(*c);
}

void Server::OnAccept() {
  for (;;) {
    int fd = accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    Socket s(fd);
    if (connections_.size() >= kMaxConnections) continue;  // closed at once
    auto c = std::make_unique<Connection>();
    c->id = ++next_id_;
    c->socket = std::move(s);
    Watch(*c);
    connections_.push_back(std::move(c));
  }
}

void Server::Remove(uint64_t id) {
  for (size_t i = 0; i < connections_.size(); ++i) {
    if (connections_[i]->id != id) continue;
    loop_.UnwatchDescriptor(connections_[i]->socket.get());
    connections_.erase(connections_.begin() + i);
    return;
  }
}

void Server::Send(Connection& c, char kind, const std::string& body) {
  c.out += FrameBytes(kind, body);
}

bool Server::Flush(Connection& c) {
  while (!c.out.empty()) {
    ssize_t n = send(c.socket.get(), c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      c.out.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    return false;  // the peer is gone: its answers are dropped
  }
  Watch(c);
  return true;
}

void Server::OnReady(uint64_t id, unsigned ready) {
  auto it = std::find_if(connections_.begin(), connections_.end(),
                         [id](const auto& c) { return c->id == id; });
  if (it == connections_.end()) return;
  Connection& c = **it;
  bool open = true;
  if (ready & HostEventLoop::kWatchRead) {
    // Frames that came before the peer hung up are still acted on.
    std::string bytes;
    open = ReadAvailable(c.socket.get(), bytes);
    bool sound = c.reader.Add(bytes);
    FrameReader::Frame f;
    bool talking = true;
    while (talking && c.reader.Next(f)) talking = Answer(c, f);
    if (!sound) Send(c, kRefused, "too large");
    open = open && sound && talking;
  }
  if (!Flush(c) || !open) Remove(id);
  Deliver();  // after the answers: a label may run now
}

bool Server::Answer(Connection& c, const FrameReader::Frame& f) {
  if (f.kind == kDisconnect) return false;
  if (f.kind == kConnect) {
    size_t nul = f.body.find('\0');
    std::string service = f.body.substr(0, nul);
    std::string topic = nul == std::string::npos ? std::string() : f.body.substr(nul + 1);
    c.topic = service.empty() || SameName(service, service_) ? FindTopic(FromWire(topic)) : -1;
    if (c.topic < 0)
      Send(c, kRefused, "no such topic");
    else
      Send(c, kAccepted, "");
    return true;
  }
  if (c.topic < 0) {
    Send(c, kRefused, "not connected");
    return true;
  }
  bool command = c.topic == kCommandTopic;
  std::string text = f.body;
  if (f.kind == kPoke) text = text.substr(std::min(text.size(), text.find('\0') + 1));
  switch (f.kind) {
    case kExecute:
    case kPoke:
      if (command && f.kind == kPoke) {
        Send(c, kRefused, "not supported");
        break;
      }
      Send(c, kAccepted, "");
      if (command) {
        // Acted on once the answer has gone: a macro may open a dialog.
        std::weak_ptr<bool> alive = alive_;
        loop_.CallLater(0, [this, alive, macro = FromWire(text)] {
          if (!alive.expired()) CommandMacro(macro);
        });
      } else {
        Queue(topics_[c.topic].label, FromWire(text));
      }
      break;
    case kRequest:
      if (command && text == "line")
        Send(c, kAccepted, std::to_string(in_.CurrentLine()));
      else if (!command)
        Send(c, kAccepted, ToWire(DdeText(in_)->Value()));
      else
        Send(c, kRefused, "no such item");
      break;
    default:
      Send(c, kRefused, "unknown frame");
  }
  return true;
}

// ---------------------------------------------------------------- the topic "command"

void Server::CommandMacro(const std::string& macro) {
  std::string text = Trim(macro);
  size_t space = text.find(' ');
  std::string command = text.substr(0, space);
  std::string argument = space == std::string::npos ? std::string() : Trim(text.substr(space));
  std::string row = "row " + std::to_string(in_.CurrentLine());
  bool loaded = !in_.S.Sources.empty() && !in_.S.StopRequested;
  if (command == "line") {
    if (argument.empty())
      in_.host.Dialogs().Say(SJ("実行ライン:") + std::to_string(in_.CurrentLine()));
    else if (argument == "soranepad")
      SendToEditor(in_, row);
  } else if (command == "pause" && loaded && !DebugDialogShown::Any()) {
    // The program stands still while the dialog is open; a request while a
    // debug dialog is open (the host marks it) is ignored. 実行中断 ends the
    // run as everywhere else.
    if (in_.host.Dialogs().DebugDialog("")) in_.EndRun();
  } else if (command == "break" && loaded) {
    if (argument == "soranepad") SendToEditor(in_, row);
    in_.EndRun();
  }
}

// ---------------------------------------------------------------- events

void Server::Queue(const TPos& label, std::string text) {
  Interpreter& in = in_;
  events_.Push({label, [&in, text = std::move(text)] {
                  THashNode* w = DdeText(in);
                  w->ValueToWrite() = text;
                  w->TypeMark.assign(1, 's');
                }});
}

// ---------------------------------------------------------------- client

namespace {

// A conversation with the first instance of the service that serves the
// topic; kSent when one accepted it.
SendResult OpenLink(HostEventLoop& loop, const std::string& service, const std::string& topic,
                    Socket& s, FrameReader& reader) {
  SendResult result = SendResult::kNoService;
  for (const std::string& path : ServiceSockets(service, topic)) {
    s = ConnectTo(path);
    if (!s) continue;
    result = SendResult::kNoLink;
    reader = FrameReader();
    FrameReader::Frame answer;
    auto idle = [&loop] { loop.ProcessEvents(); };
    if (WriteFrame(s.get(), kConnect, service + '\0' + topic, kLinkAnswerMs, idle) &&
        ReadFrame(s.get(), reader, answer, kLinkAnswerMs, idle) && answer.kind == kAccepted)
      return SendResult::kSent;
  }
  s.reset();
  return result;
}

}  // namespace

SendResult SendMacro(Interpreter& in, const std::string& service, const std::string& topic,
                     const std::string& macro, int link_wait_ms) {
  HostEventLoop& loop = in.host.EventLoop();
  auto idle = [&loop] { loop.ProcessEvents(); };
  std::string name = ToWire(service);
  Socket s;
  FrameReader reader;
  auto start = std::chrono::steady_clock::now();
  SendResult linked = OpenLink(loop, name, ToWire(topic), s, reader);
  while (linked != SendResult::kSent && !in.S.StopRequested &&
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(link_wait_ms)) {
    loop.WaitForEvents(100);
    linked = OpenLink(loop, name, ToWire(topic), s, reader);
  }
  if (linked != SendResult::kSent) return linked;
  std::string body = ToWire(macro);
  FrameReader::Frame answer;
  if (body.size() > kMaxBody || !WriteFrame(s.get(), kExecute, body, kAnswerMs, idle) ||
      !ReadFrame(s.get(), reader, answer, kAnswerMs, idle) || answer.kind != kAccepted)
    return SendResult::kNotSent;
  WriteFrame(s.get(), kDisconnect, "", kAnswerMs, idle);
  return SendResult::kSent;
}

bool SendToEditor(Interpreter& in, const std::string& macro) {
  return SendMacro(in, "soranepad", "command", macro) == SendResult::kSent;
}

void InstallEditorLink() {
  EditorLinkHooks& hooks = GetEditorLinkHooks();
  hooks.serve = [](Interpreter& in) -> std::shared_ptr<void> {
    return std::make_shared<Server>(in);
  };
  hooks.send_row = [](Interpreter& in) {
    SendToEditor(in, "row " + std::to_string(in.CurrentLine()));
  };
}

}  // namespace sorane::dde
