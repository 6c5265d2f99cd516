#include <windows.h>

#include <algorithm>

#include "common/Text.h"
#include "resolver/AddressText.h"
#include "resolver/LinkResult.h"
#include "common/SplitUrl.h"
#include "resolver/YoutubeRedirect.h"
#include "resolver/YoutubeResolver.h"

namespace mf {
namespace {

constexpr long kYoutubePort = 80;
constexpr long kYoutubeSecurePort = 443;
constexpr std::wstring_view kSecureScheme = L"https://";

bool IsSecureAddress(const std::wstring& address) {
  return LowerCase(std::wstring_view(address).substr(0, kSecureScheme.size())) == kSecureScheme;
}

}  // namespace

void YoutubeResolver::GetYoutubePathLnik(const std::wstring& sLink,
                                         std::function<void(const std::wstring&)> done) {
  Cancel();
  done_ = std::move(done);
  // Whatever the caller gives, nothing but plain address characters may
  // reach the request lines.
  const std::wstring address = AddressForWire(sLink);
  secure_ = IsSecureAddress(address);
  wsLink.clear();
  // SplitUrl knows only "http://": a secure address goes to it without its scheme.
  SplitUrl(secure_ ? address.substr(kSecureScheme.size()) : address, wsHost, wsLink);
  if (wsLink.empty()) wsLink = L"/";
  // Nothing of an earlier resolution may leak into this one.
  sYoutubeDownLink.clear();
  youtubeAnswer_.clear();
  youtubeFailed_ = false;
  bFindYoutubeFinish = wsHost.empty();
  if (bFindYoutubeFinish) return Report();
  deadline_ = timers_.After(YoutubeAnswerTimeoutMs, [this] {
    deadline_ = 0;
    if (bFindYoutubeFinish) return;
    WS.Close();
    WS_Error(WSAETIMEDOUT, L"No answer from the server within " +
                               std::to_wstring(YoutubeAnswerTimeoutMs / 1000) + L" seconds");
  });
  Connect();
}

void YoutubeResolver::Cancel() {
  done_ = nullptr;
  timers_.Cancel(deadline_);
  deadline_ = 0;
  WS.Close();
}

void YoutubeResolver::Report() {
  timers_.Cancel(deadline_);
  deadline_ = 0;
  auto done = std::move(done_);
  done_ = nullptr;
  if (!done) return;
  if (youtubeFailed_) return done(kLinkFetchFailed);
  done(sYoutubeDownLink.empty() ? std::wstring()
                                : (secure_ ? L"https://" : L"http://") + wsHost + sYoutubeDownLink);
}

void YoutubeResolver::Connect() {
  WS.Close();
  WS.SetSecure(secure_);
  if (secure_) {
    // Over TLS: the port written in the address, else 443; the certificate
    // must bear the name without it.
    HostAndPort at = SplitHostPort(wsHost);
    WS.SetRemoteHost(at.name);
    WS.SetRemotePort(at.port ? at.port : kYoutubeSecurePort);
  } else {
    // Plain: port 80 whatever the address says (a port written stays in the
    // host, which then names no host).
    WS.SetRemoteHost(wsHost);
    WS.SetRemotePort(kYoutubePort);
  }
  if (!WS.Connect()) WS_Error(WSASYSNOTREADY, TcpSocket::ErrorDescription(WSASYSNOTREADY));
}

void YoutubeResolver::WS_Connect() {
  // One piece: the request leaves in a single send.
  WS.SendData(BuildYoutubeRequest(ToAnsi(wsHost), ToAnsi(wsLink)));
}

void YoutubeResolver::WS_DataArrival(long /*bytesTotal*/) {
  if (WS.State() != sckConnected) return;  // not read, and the wait goes on
  youtubeAnswer_ += WS.GetData();
  sYoutubeDownLink = FromAnsi(youtubeAnswer_);
  // An answer may come in pieces: the redirection is known once the whole
  // header block is there (or the answer has grown too long to hold one).
  if (!HasWholeHeader(youtubeAnswer_) && youtubeAnswer_.size() < kMaxYoutubeAnswer) return;
  FinishYoutubeAnswer();
}

void YoutubeResolver::WS_Close() {
  // The server ended the answer before its header block was complete.
  if (!bFindYoutubeFinish) FinishYoutubeAnswer();
}

void YoutubeResolver::FinishYoutubeAnswer() {
  bFindYoutubeFinish = true;
  WS.Close();
  sYoutubeDownLink = CutYoutubeRedirect(youtubeAnswer_);
  Report();
}

void YoutubeResolver::WS_Error(long /*number*/, const std::wstring& description) {
  // Only a request still waiting hears of a failure.
  if (bFindYoutubeFinish || !done_) return;
  youtubeFailed_ = true;
  WS.Close();
  bFindYoutubeFinish = true;
  host_.ConnectionError(description);
  Report();
}

}  // namespace mf
