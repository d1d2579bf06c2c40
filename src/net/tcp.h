// The TCP client and server of a run: one client connection, one listening
// server with its accepted connections, and the labels their events jump to.
// Sockets are watched through the host's event loop (HostEventLoop), so the
// same code runs in the window and in the console.
//
// Received data is queued with its event. TCP文字列 and TCP送信元 are set
// when the event's handler starts, not when the data arrives: while a command
// runs (待つ) only one event at a time is handed to the script, and the next
// one waits until that handler has started.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/sockets.h"
#include "runtime/command.h"
#include "runtime/label_event_queue.h"
#include "words/run_control.h"

namespace sorane {

class Interpreter;
class HostEventLoop;

namespace net {

class TcpState {
 public:
  TcpState() = default;
  TcpState(const TcpState&) = delete;
  TcpState& operator=(const TcpState&) = delete;
  ~TcpState();
  // The run's state, made on first use.
  static TcpState& Of(Interpreter& in);

  // ---- client
  void Connect(const std::string& host);  // raises when no connection is made
  void Disconnect();
  void Send(const std::string& text);
  const std::string& ClientState() const { return client_state_; }
  void SetClientLabel(const TPos& label);

  // ---- server
  void StartServer();
  void StopServer();
  // The peers, "address,host" each followed by CR LF.
  std::string PeerList();
  void SendToPeer(const std::string& peer, const std::string& text);
  void DisconnectPeer(const std::string& peer);
  void SetServerReceiveLabel(const TPos& label);
  void SetServerConnectLabel(const TPos& label);

 private:
  struct Peer {
    uint64_t id = 0;
    Fd fd;
    std::string address;
    ReverseLookup name;
    std::string Line() { return address + "," + name.Get(); }
  };
  // What arrived: TCP文字列 (when `sets_text`) and TCP送信元 are set as it is
  // handed to the script, then `label` runs (none: only the variables).
  struct Event {
    TPos label;
    bool sets_text = true;
    std::string text;  // TCP文字列
    std::string peer;  // TCP送信元
  };

  void Attach(Interpreter& in);
  // Port and service from TCPポート and TCPサービス名, as getaddrinfo takes them.
  std::string Service();

  void TryNextAddress();
  void OnClientReady(unsigned ready);
  void CloseClient(const std::string& state);
  void WatchClient(unsigned events);

  void OnAccept();
  void OnPeerReady(uint64_t id);
  void RemovePeer(uint64_t id);
  void CloseAllPeers();
  Peer* FindPeer(const std::string& name, bool ignore_case);
  // Re-registers every socket with whether its events may run a label.
  void UpdateWatches();
  bool ServerLabelled() const;

  void Queue(Event e);
  void Deliver() { events_->Deliver(); }

  Interpreter* in_ = nullptr;
  HostEventLoop* loop_ = nullptr;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for later calls

  Fd client_;
  uint64_t client_serial_ = 0;  // a new connection gets a new number
  std::string client_state_;
  std::vector<Address> targets_;
  size_t next_target_ = 0;
  int last_error_ = 0;
  std::string client_address_;
  ReverseLookup client_name_;
  TPos client_label_;

  Fd listener_;
  std::vector<std::unique_ptr<Peer>> peers_;
  uint64_t next_peer_id_ = 0;
  TPos server_receive_label_, server_connect_label_;

  std::unique_ptr<LabelEventQueue> events_;
};

}  // namespace net

CommandTable TcpCommands();

}  // namespace sorane
