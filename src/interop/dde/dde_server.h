// The run-time's own link service: one listening socket per process, named
// after the executable, serving the topic "command" (the editor link: the
// macros "line", "pause" and "break") and the topics scripts make with
// DDEサーバー作成, whose macros set DDE文字列 and jump to a label.
//
// Connections are watched through the host's event loop. The topic "command"
// never keeps a run going; a script topic does, as a TCP server does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interop/dde/dde_transport.h"
#include "runtime/label_event_queue.h"
#include "words/run_control.h"

namespace sorane {

class Interpreter;
class HostEventLoop;

namespace dde {

class Server {
 public:
  // Starts listening as this program's service; Listening() says whether it could.
  explicit Server(Interpreter& in);
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  ~Server();

  // The server of this interpreter: the one the host started, else one made
  // for the run on first use.
  static Server& Of(Interpreter& in);

  bool Listening() const { return static_cast<bool>(listener_); }
  const std::string& Service() const { return service_; }

  static constexpr size_t kMaxTopics = 10;
  enum class AddResult { kAdded, kFull, kFailed };
  // A script topic (CP932 name) whose macros jump to `label`.
  AddResult AddTopic(const std::string& name, const TPos& label);

 private:
  struct Connection {
    uint64_t id = 0;
    Socket socket;
    FrameReader reader;
    int topic = -1;   // kCommandTopic, a script topic's index, or -1 before C
    std::string out;  // answers the peer has not taken yet
  };
  static constexpr int kCommandTopic = 1000;
  struct Topic {
    std::string name;  // CP932
    TPos label;
  };
  void UpdateWatches();
  void Watch(Connection& c);
  void OnAccept();
  void OnReady(uint64_t id, unsigned ready);
  // Answers one frame; false when the connection ends.
  bool Answer(Connection& c, const FrameReader::Frame& f);
  void Send(Connection& c, char kind, const std::string& body);
  bool Flush(Connection& c);
  void Remove(uint64_t id);
  int FindTopic(const std::string& name) const;
  // The macro of the topic "command", acted on after its answer is sent.
  void CommandMacro(const std::string& macro);
  // A macro for a script topic: DDE文字列 is set as it is handed over.
  void Queue(const TPos& label, std::string text);
  void Deliver() { events_.Deliver(); }

  Interpreter& in_;
  HostEventLoop& loop_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::string service_;  // UTF-8
  std::string path_;
  Socket listener_;
  std::vector<std::unique_ptr<Connection>> connections_;
  uint64_t next_id_ = 0;
  std::vector<Topic> topics_;
  LabelEventQueue events_{in_, loop_};
};

// The link to the editor: the macro `macro` to the service "soranepad", topic
// "command"; false when no conversation opened.
bool SendToEditor(Interpreter& in, const std::string& macro);

// Sends `macro` (CP932) to `topic` of `service`: the conversation is opened,
// the macro handed over and the conversation closed. Host events go on being
// processed while it waits; while no instance of the service serves the
// topic, it is looked for again until `link_wait_ms` passed. What failed
// (kNoService: no instance answered, kNoLink: none serves the topic), or kSent.
enum class SendResult { kSent, kNoService, kNoLink, kNotSent };
SendResult SendMacro(Interpreter& in, const std::string& service, const std::string& topic,
                     const std::string& macro, int link_wait_ms = 0);

// Makes the editor link of the debug layer this transport's (once per process).
void InstallEditorLink();

}  // namespace dde
}  // namespace sorane
