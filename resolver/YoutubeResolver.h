#pragma once
// The YouTube link resolver: one hand-written request for the player address
// over a TCP socket, plain for http:// and TLS for https://; the redirection
// it answers with names the file. The socket's notifications drive it; the
// answer's deadline is a timer.
#include <windows.h>

#include <functional>
#include <string>

#include "common/MessageWindow.h"

#include "controls/socket/TcpSocket.h"
#include "resolver/ResolverHost.h"

namespace mf {

class YoutubeResolver : private ISocketEvents {
 public:
  explicit YoutubeResolver(IResolverHost& host) : host_(host) {}
  YoutubeResolver(const YoutubeResolver&) = delete;
  YoutubeResolver& operator=(const YoutubeResolver&) = delete;

  // The video file's address for a YouTube player address, with the player
  // address's scheme and host, to `done` once the answer is in; empty text
  // when the answer holds no usable redirection, "-2" when the connection
  // failed (a certificate refused included; the host hears why) or no answer
  // came in time. A new request replaces the running one.
  void GetYoutubePathLnik(const std::wstring& sLink, std::function<void(const std::wstring&)> done);
  // The running request ends with no result: its callback is never called.
  void Cancel();
  void Connect();

  std::wstring wsHost;
  std::wstring wsLink;
  bool bFindYoutubeFinish = false;
  std::wstring sYoutubeDownLink;
  DWORD YoutubeAnswerTimeoutMs = 30000;  // the wait for the answer ends here
  TcpSocket WS{this};

  // The socket's notifications.
  void WS_Connect();
  void WS_DataArrival(long bytesTotal);
  void WS_Error(long number, const std::wstring& description);
  void WS_Close();

 private:
  void Connected() override { WS_Connect(); }
  void DataArrival(long bytesTotal) override { WS_DataArrival(bytesTotal); }
  void Error(long number, const std::wstring& d) override { WS_Error(number, d); }
  void Closed() override { WS_Close(); }
  void FinishYoutubeAnswer();
  // The request has ended: its result to its callback.
  void Report();

  IResolverHost& host_;
  MessageWindow timers_;
  MessageWindow::Timer deadline_ = 0;
  std::function<void(const std::wstring&)> done_;
  std::string youtubeAnswer_;   // the answer's bytes as they arrive
  bool youtubeFailed_ = false;  // the connection failed or timed out
  bool secure_ = false;         // the player address is https://
};

}  // namespace mf
