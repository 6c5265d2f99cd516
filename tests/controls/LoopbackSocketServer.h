#pragma once
// A plain TCP server on 127.0.0.1 for the socket tests: it takes one
// connection at a time on its own thread, keeps what the client sent up to the
// end of a request's header block, and answers as the test scripts it.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mf::test {

class LoopbackSocketServer {
 public:
  enum class Reply {
    Answer,         // send the pieces, then close
    AnswerAndHold,  // send the pieces, then keep the connection open
    Silent,         // read the request, then keep the connection open and say nothing
    CloseAtOnce,    // close without answering
  };
  struct Script {
    Reply reply = Reply::Answer;
    std::vector<std::string> pieces;  // sent one after the other
    DWORD pauseMs = 0;                // between two pieces
    bool readRequest = true;          // wait for the request's empty line first
  };

  LoopbackSocketServer();
  ~LoopbackSocketServer();
  LoopbackSocketServer(const LoopbackSocketServer&) = delete;
  LoopbackSocketServer& operator=(const LoopbackSocketServer&) = delete;

  // Listens on a free port of 127.0.0.1; false when that fails.
  bool Start(const Script& script);
  void Stop();
  unsigned short Port() const { return port_; }

  // What each connection sent, in order of connection.
  std::vector<std::string> Requests() const;
  int Connections() const { return connections_; }

  // A port of 127.0.0.1 on which nothing listens.
  static unsigned short UnusedPort();

 private:
  void Run();
  void Serve(UINT_PTR client);

  Script script_;
  UINT_PTR listener_;
  unsigned short port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  bool winsock_ = false;
};

}  // namespace mf::test
