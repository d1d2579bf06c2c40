#include "net/tcp.h"

#include <cerrno>
#include <chrono>

#include "platform/file_ops.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {
namespace net {

namespace {

constexpr int kConnectTimeoutMs = 20000;
// A send that cannot hand its data to the system for this long fails.
constexpr int kSendTimeoutMs = 20000;
// The host name of a peer is waited for at most this long, once.
constexpr int kLookupTimeoutMs = 2000;
// One read event takes at most this much: a fast sender cannot hold the
// script in one event for ever.
constexpr size_t kReadLimit = 4u << 20;
// "host not found" in the numbering of socket errors.
constexpr int kHostNotFound = 11001;

std::string Variable(Interpreter& in, const std::string& name) {
  THashNode* w = in.S.Words.FindExact(name);
  return w ? w->Value() : std::string();
}

void SetVariable(Interpreter& in, const std::string& name, const std::string& value) {
  THashNode* w = in.S.Words.FindExact(name);
  if (!w) w = in.S.Words.AddVariable(name, "", "s", 0);
  w->ValueToWrite() = value;
  w->TypeMark = "s";
}

std::string ErrorState(int socket_error) {
  return SJ("エラー") + std::to_string(socket_error);
}

}  // namespace

TcpState& TcpState::Of(Interpreter& in) {
  TcpState& st = in.S.RunStates.Get<TcpState>();
  if (!st.in_) st.Attach(in);
  return st;
}

void TcpState::Attach(Interpreter& in) {
  in_ = &in;
  loop_ = &in.host.EventLoop();
  events_ = std::make_unique<LabelEventQueue>(in, *loop_);
}

TcpState::~TcpState() {
  *alive_ = false;
  if (!loop_) return;
  if (client_) loop_->UnwatchDescriptor(client_.get());
  if (listener_) loop_->UnwatchDescriptor(listener_.get());
  for (auto& p : peers_) loop_->UnwatchDescriptor(p->fd.get());
}

std::string TcpState::Service() {
  int64_t port = ToInt64(ParseNumber(Variable(*in_, SJ("TCPポート"))));
  if (port > 0) return std::to_string(port);
  return Trim(Variable(*in_, SJ("TCPサービス名")));
}

// ---------------------------------------------------------------- client

void TcpState::WatchClient(unsigned events) {
  uint64_t serial = client_serial_;
  loop_->WatchDescriptor(client_.get(), events, !client_label_.None(),
                         [this, serial](unsigned ready) {
                           if (serial == client_serial_) OnClientReady(ready);
                         });
}

void TcpState::CloseClient(const std::string& state) {
  if (client_) loop_->UnwatchDescriptor(client_.get());
  client_.reset();
  ++client_serial_;
  client_state_ = state;
}

void TcpState::TryNextAddress() {
  while (next_target_ < targets_.size()) {
    const Address& a = targets_[next_target_++];
    Fd fd = StartConnect(a);
    if (!fd) {
      last_error_ = errno;
      continue;
    }
    client_ = std::move(fd);
    ++client_serial_;
    client_address_ = AddressText(a);
    WatchClient(HostEventLoop::kWatchWrite);
    return;
  }
  CloseClient(ErrorState(SocketErrorNumber(last_error_ ? last_error_ : ECONNREFUSED)));
}

void TcpState::Connect(const std::string& host) {
  Disconnect();
  std::vector<Address> addresses;
  std::string error;
  using Clock = std::chrono::steady_clock;
  Clock::time_point start = Clock::now();
  const std::string& failed = SJ("サーバー\"%s\"へ接続できませんでした。");
  if (!Resolve(host, Service(), false, addresses, error)) {
    client_state_ = ErrorState(kHostNotFound);
    in_->Raise(failed + client_state_, host);
  }
  targets_ = std::move(addresses);
  next_target_ = 0;
  last_error_ = 0;
  client_state_ = SJ("接続準備中");
  TryNextAddress();
  for (;;) {
    if (client_state_ == SJ("接続中")) return;
    if (client_state_ != SJ("接続準備中")) in_->Raise(failed + client_state_, host);
    int left =
        kConnectTimeoutMs -
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    if (left <= 0 || in_->S.StopRequested) {
      // A connection that comes later would surprise the script: it is dropped.
      CloseClient(SJ("未接続"));
      in_->Raise(failed + SJ("タイムアップ"), host);
    }
    loop_->WaitForEvents(std::min(left, 100));
  }
}

void TcpState::OnClientReady(unsigned ready) {
  if (client_state_ == SJ("接続準備中")) {
    int err = PendingError(client_.get());
    if (err != 0) {
      last_error_ = err;
      loop_->UnwatchDescriptor(client_.get());
      client_.reset();
      TryNextAddress();
      return;
    }
    client_state_ = SJ("接続中");
    Address peer;
    if (PeerOf(client_.get(), peer)) client_name_.Start(peer, kLookupTimeoutMs);
    WatchClient(HostEventLoop::kWatchRead);
    return;
  }
  Event e;
  e.label = client_label_;
  int rc = ReadAvailable(client_.get(), e.text, kReadLimit);
  int err = errno;
  if (!e.text.empty()) {
    e.peer = client_address_ + "," + client_name_.Get();
    Queue(std::move(e));
  }
  if (rc == 0) {
    CloseClient(SJ("未接続"));
  } else if (rc < 0) {
    int number = SocketErrorNumber(err);
    CloseClient(ErrorState(number));
    // Raised outside any command: the error log keeps it, nothing stops.
    try {
      in_->Raise(SJ("TCP/IPクライアントでエラーが発生しました。エラー番号:") +
                 std::to_string(number));
    } catch (const ESorane&) {
    }
  }
  Deliver();
}

void TcpState::Disconnect() {
  if (client_) CloseClient(SJ("未接続"));
}

void TcpState::Send(const std::string& text) {
  auto fail = [&](int err) { in_->Raise(SJ("サーバーへの送信に失敗。") + SystemReason(err)); };
  if (!client_ || client_state_ != SJ("接続中")) fail(ENOTCONN);
  uint64_t serial = client_serial_;
  int err = SendAll(client_.get(), text, kSendTimeoutMs, [&] {
    loop_->ProcessEvents();
    return serial == client_serial_;  // the connection may end meanwhile
  });
  if (err == 0) return;
  if (serial == client_serial_ && err != ETIMEDOUT) CloseClient(ErrorState(SocketErrorNumber(err)));
  fail(err);
}

void TcpState::SetClientLabel(const TPos& label) {
  client_label_ = label;
  UpdateWatches();
}

// ---------------------------------------------------------------- server

bool TcpState::ServerLabelled() const {
  return !server_receive_label_.None() || !server_connect_label_.None();
}

void TcpState::UpdateWatches() {
  if (client_)
    WatchClient(client_state_ == SJ("接続中") ? HostEventLoop::kWatchRead
                                              : HostEventLoop::kWatchWrite);
  if (listener_)
    loop_->WatchDescriptor(listener_.get(), HostEventLoop::kWatchRead, ServerLabelled(),
                           [this](unsigned) { OnAccept(); });
  for (auto& p : peers_) {
    uint64_t id = p->id;
    loop_->WatchDescriptor(p->fd.get(), HostEventLoop::kWatchRead, ServerLabelled(),
                           [this, id](unsigned) { OnPeerReady(id); });
  }
}

void TcpState::CloseAllPeers() {
  for (auto& p : peers_) loop_->UnwatchDescriptor(p->fd.get());
  peers_.clear();
}

void TcpState::StartServer() {
  std::string service = Service();
  CloseAllPeers();
  if (listener_) loop_->UnwatchDescriptor(listener_.get());
  listener_.reset();
  server_receive_label_ = TPos();
  std::string error;
  listener_ = Listen(service, error);
  if (!listener_) in_->Raise(SJ("TCP/IPサーバーの起動に失敗。") + error);
  UpdateWatches();
}

void TcpState::StopServer() {
  CloseAllPeers();
  if (listener_) loop_->UnwatchDescriptor(listener_.get());
  listener_.reset();
}

void TcpState::OnAccept() {
  for (;;) {
    Address peer;
    Fd fd = Accept(listener_.get(), peer);
    if (!fd) break;
    auto p = std::make_unique<Peer>();
    p->id = ++next_peer_id_;
    p->fd = std::move(fd);
    p->address = AddressText(peer);
    p->name.Start(peer, kLookupTimeoutMs);
    uint64_t id = p->id;
    loop_->WatchDescriptor(p->fd.get(), HostEventLoop::kWatchRead, ServerLabelled(),
                           [this, id](unsigned) { OnPeerReady(id); });
    Peer& added = *p;
    peers_.push_back(std::move(p));
    if (!server_connect_label_.None()) {
      Event e;
      e.label = server_connect_label_;
      e.sets_text = false;
      e.peer = added.Line();
      Queue(std::move(e));
    }
  }
  Deliver();
}

void TcpState::OnPeerReady(uint64_t id) {
  Peer* p = nullptr;
  for (auto& q : peers_)
    if (q->id == id) p = q.get();
  if (!p) return;  // a notification of a connection already gone
  Event e;
  e.label = server_receive_label_;
  int rc = ReadAvailable(p->fd.get(), e.text, kReadLimit);
  if (!e.text.empty()) {
    e.peer = p->Line();
    Queue(std::move(e));
  }
  // A peer that closed or failed leaves the list; server errors raise nothing.
  if (rc <= 0) RemovePeer(id);
  Deliver();
}

void TcpState::RemovePeer(uint64_t id) {
  for (size_t i = 0; i < peers_.size(); ++i) {
    if (peers_[i]->id != id) continue;
    loop_->UnwatchDescriptor(peers_[i]->fd.get());
    peers_.erase(peers_.begin() + i);
    return;
  }
}

std::string TcpState::PeerList() {
  std::string out;
  for (auto& p : peers_) out += p->Line() + "\r\n";
  return out;
}

TcpState::Peer* TcpState::FindPeer(const std::string& name, bool ignore_case) {
  for (auto& p : peers_) {
    std::string host = Trim(p->name.Get());
    if (Trim(p->address) == name) return p.get();
    if (ignore_case ? AsciiUpper(host) == AsciiUpper(name) : host == name) return p.get();
  }
  return nullptr;
}

void TcpState::SendToPeer(const std::string& peer, const std::string& text) {
  if (!listener_) return;
  Peer* p = FindPeer(peer, false);
  if (!p) return;
  uint64_t id = p->id;
  auto still_there = [&] {
    for (auto& q : peers_)
      if (q->id == id) return true;
    return false;
  };
  int err = SendAll(p->fd.get(), text, kSendTimeoutMs, [&] {
    loop_->ProcessEvents();
    return still_there();
  });
  // A peer that cannot take the text any more is dropped; nothing is raised.
  if (err != 0 && still_there()) RemovePeer(id);
}

void TcpState::DisconnectPeer(const std::string& peer) {
  if (!listener_) return;
  if (Peer* p = FindPeer(peer, true)) RemovePeer(p->id);
}

void TcpState::SetServerReceiveLabel(const TPos& label) {
  server_receive_label_ = label;
  UpdateWatches();
}

void TcpState::SetServerConnectLabel(const TPos& label) {
  server_connect_label_ = label;
  UpdateWatches();
}

// ---------------------------------------------------------------- events

void TcpState::Queue(Event e) {
  Interpreter& in = *in_;
  events_->Push(
      {e.label, [&in, sets_text = e.sets_text, text = std::move(e.text), peer = std::move(e.peer)] {
         if (sets_text) SetVariable(in, SJ("TCP文字列"), text);
         SetVariable(in, SJ("TCP送信元"), peer);
       }});
}

}  // namespace net

// ---------------------------------------------------------------- commands

namespace {

using net::TcpState;

// A label argument as written: empty clears, otherwise it must be a label.
TPos LabelArgument(Call& c) {
  std::string name = c.Name(0);
  if (name.empty()) return TPos();
  THashNode* w = c.in.S.Words.FindExact(name);
  if (!w || w->Kind != kWordLabel || !w->More().RefPos) c.in.Raise(msg::UndefinedLabel(), name);
  return TPos(w->More().RefPos, w->More().RefText);
}

// The peer argument of the server's send and close; it must not be empty.
std::string PeerArgument(Call& c, size_t slot) {
  std::string peer = Trim(c.Text(slot));
  if (peer.empty()) c.in.Raise(msg::BadArgument() + SJ("相手先が設定されていません"), c.cmd.Name);
  return peer;
}

void CmdTcpConnect(Call& c) {
  std::string host = Trim(c.Text(0));
  TcpState& st = TcpState::Of(c.in);
  if (host.empty()) {
    st.Disconnect();
    c.in.Raise(msg::BadArgument() + SJ("接続先が設定されていません"), c.cmd.Name);
  }
  st.Connect(host);
}

void CmdTcpDisconnect(Call& c) {
  TcpState::Of(c.in).Disconnect();
}

void CmdTcpState(Call& c) {
  c.ReturnValueOnly(TcpState::Of(c.in).ClientState());
}

void CmdTcpSend(Call& c) {
  std::string text = c.Text(0);
  TcpState::Of(c.in).Send(text);
}

void CmdTcpOnReceive(Call& c) {
  TPos label = LabelArgument(c);
  TcpState::Of(c.in).SetClientLabel(label);
}

void CmdTcpServerStart(Call& c) {
  TcpState::Of(c.in).StartServer();
}

void CmdTcpServerStop(Call& c) {
  TcpState::Of(c.in).StopServer();
}

void CmdTcpServerClients(Call& c) {
  c.ReturnText(TcpState::Of(c.in).PeerList());
}

void CmdTcpServerSend(Call& c) {
  std::string peer = PeerArgument(c, 0);
  std::string text = c.Text(1);
  TcpState::Of(c.in).SendToPeer(peer, text);
}

void CmdTcpServerDisconnect(Call& c) {
  std::string peer = PeerArgument(c, 0);
  TcpState::Of(c.in).DisconnectPeer(peer);
}

void CmdTcpServerOnReceive(Call& c) {
  TPos label = LabelArgument(c);
  TcpState::Of(c.in).SetServerReceiveLabel(label);
}

void CmdTcpServerOnConnect(Call& c) {
  TPos label = LabelArgument(c);
  TcpState::Of(c.in).SetServerConnectLabel(label);
}

}  // namespace

CommandTable TcpCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::TcpConnect, "TCP接続", "?へ", CmdTcpConnect, kActs},
      {CommandId::TcpDisconnect, "TCP切断", "", CmdTcpDisconnect, kActs},
      {CommandId::TcpState, "TCP接続状態", "", CmdTcpState, kActs},
      {CommandId::TcpSend, "TCP送信", "?を", CmdTcpSend, kActs},
      {CommandId::TcpOnReceive, "TCP受信処理設定", "?に", CmdTcpOnReceive, kActs},
      {CommandId::TcpServerStart, "TCPサーバー起動", "", CmdTcpServerStart, kActs},
      {CommandId::TcpServerStop, "TCPサーバー終了", "", CmdTcpServerStop, kActs},
      {CommandId::TcpServerClients, "TCPサーバー接続先列挙", "", CmdTcpServerClients, kActs},
      {CommandId::TcpServerSend, "TCPサーバーから送信", "?へ,?を", CmdTcpServerSend, kActs},
      {CommandId::TcpServerOnReceive, "TCPサーバー受信処理設定", "?に", CmdTcpServerOnReceive,
       kActs},
      {CommandId::TcpServerOnConnect, "TCPサーバー接続処理設定", "?に", CmdTcpServerOnConnect,
       kActs},
      {CommandId::TcpServerDisconnect, "TCPサーバーから切断", "?を", CmdTcpServerDisconnect, kActs},
  };
  return kRows;
}

}  // namespace sorane
