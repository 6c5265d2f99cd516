// Stopping a transfer, and the owner's window staying alive while one runs.
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/support/Sha256.h"
#include "tests/transfer/TransferFixture.h"

using namespace mf;
using namespace mf::test;

namespace {

using Kind = DownloadEvent::Kind;

// A message-only window of the owner: runs the test's code on its timer ticks
// and on a posted message, as a form's timers and commands would.
class OwnerWindow {
 public:
  std::function<void()> onTick;
  std::function<void()> onMessage;

  OwnerWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DownloadTestOwner";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~OwnerWindow() { DestroyWindow(hwnd_); }
  void StartTimer(UINT ms) { SetTimer(hwnd_, 1, ms, nullptr); }
  void StopTimer() { KillTimer(hwnd_, 1); }
  void Post() { PostMessageA(hwnd_, WM_APP, 0, 0); }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (self && m == WM_TIMER && self->onTick) {
      self->onTick();
      return 0;
    }
    if (self && m == WM_APP && self->onMessage) {
      self->onMessage();
      return 0;
    }
    return DefWindowProcA(h, m, w, l);
  }
  HWND hwnd_;
};

class CancelTest : public DownloadTest {};

TEST_F(CancelTest, CancelFromAProgressHandlerEndsRightAfterThatChunk) {
  server.Route("/big", HttpResponse::File(200000, 4).WithoutContentLength());
  Aim("/big", L"big.bin");
  owner.onProgress = [&](long) {
    if (owner.Count(Kind::Progress) == 3) download.CancelDownload();
  };
  EXPECT_FALSE(Transfer());
  ASSERT_EQ(owner.Sequence(), "PPPX");
  // Without a size, progress is the byte count: no read came after the third.
  EXPECT_EQ(owner.events[3].value, owner.events[2].value);
  EXPECT_EQ(download.BytesReceived(), owner.events[3].value);
  EXPECT_EQ(ReadWholeFile(LocalPath(L"big.bin")),
            Pattern(4, 0, static_cast<size_t>(owner.events[3].value)));
  EXPECT_FALSE(download.IsSessionOpen());
}

TEST_F(CancelTest, CancelFromATimerTakesEffectAfterAtMostOneMoreProgress) {
  // 2 KiB every 5 ms: the transfer lasts long enough for a timer to fire
  // after its first blocks.
  server.Route("/slow", HttpResponse::File(1000000, 6).Slow(2048, 5));
  Aim("/slow", L"slow.bin");
  OwnerWindow window;
  size_t progressAtCancel = 0;
  bool cancelled = false;
  window.onTick = [&] {
    window.StopTimer();
    if (cancelled) return;
    cancelled = true;
    progressAtCancel = owner.Count(Kind::Progress);
    download.CancelDownload();
  };
  window.StartTimer(400);
  EXPECT_FALSE(Transfer());
  ASSERT_TRUE(cancelled);
  EXPECT_LE(owner.Count(Kind::Progress), progressAtCancel + 1);
  ASSERT_EQ(owner.events.back().kind, Kind::Cancelled);
  const long position = owner.events.back().value;
  EXPECT_GT(position, 0);
  EXPECT_LT(position, 1000000);
  EXPECT_EQ(FileSizeOf(LocalPath(L"slow.bin")), static_cast<uint64_t>(position));
  EXPECT_EQ(ReadWholeFile(LocalPath(L"slow.bin")), Pattern(6, 0, static_cast<size_t>(position)));
}

TEST_F(CancelTest, TheOwnersTimersAndMessagesRunWhileATransferIsUnderWay) {
  server.Route("/slow", HttpResponse::File(120000, 8).Slow(4096, 10));
  Aim("/slow", L"slow.bin");
  OwnerWindow window;
  int ticks = 0;
  bool message = false;
  int ticksAtComplete = -1;
  bool messageAtComplete = false;
  window.onTick = [&] { ++ticks; };
  window.onMessage = [&] { message = true; };
  owner.onProgress = [&](long) {
    if (owner.Count(Kind::Progress) == 2) window.Post();
  };
  owner.onComplete = [&] {
    ticksAtComplete = ticks;
    messageAtComplete = message;
  };
  window.StartTimer(20);
  ASSERT_TRUE(Transfer());
  window.StopTimer();
  EXPECT_GE(ticksAtComplete, 3);
  EXPECT_TRUE(messageAtComplete);
  EXPECT_EQ(Sha256OfFile(LocalPath(L"slow.bin")), Sha256OfPattern(8, 120000));
}

TEST_F(CancelTest, AMessagePostedDuringAFastTransferIsHandledBeforeItEnds) {
  // Reads that never wait still leave room for the queue now and then.
  ServeFile("/fast", 8u << 20, 2);
  Aim("/fast", L"fast.bin");
  OwnerWindow window;
  size_t handledAt = 0;
  window.onMessage = [&] { handledAt = owner.Count(Kind::Progress); };
  owner.onProgress = [&](long) {
    if (owner.Count(Kind::Progress) == 1) window.Post();
  };
  ASSERT_TRUE(Transfer());
  EXPECT_GE(handledAt, 1u);
  EXPECT_LT(handledAt, owner.Count(Kind::Progress));
}

TEST_F(CancelTest, ACancelBeforeTheTransferIsForgottenWhenItStarts) {
  ServeFile("/f", 5000);
  Aim("/f", L"f.bin");
  download.CancelDownload();
  EXPECT_TRUE(Transfer());
  EXPECT_EQ(owner.Count(Kind::Cancelled), 0u);
  EXPECT_EQ(owner.Sequence().back(), 'C');
}

TEST_F(CancelTest, ASecondTransferStartedFromAHandlerIsRefused) {
  ServeFile("/f", 9000, 3);
  Aim("/f", L"f.bin");
  int nested = 0;
  owner.onProgress = [&](long) {
    if (nested++ == 0) {
      EXPECT_FALSE(download.StartDownload());
    }
  };
  EXPECT_TRUE(Transfer());
  EXPECT_EQ(owner.Count(Kind::Complete), 1u);
  EXPECT_EQ(owner.Count(Kind::Error), 0u);
  EXPECT_EQ(server.CountRequests("GET"), 1u);
  EXPECT_EQ(ReadWholeFile(LocalPath(L"f.bin")), Pattern(3, 0, 9000));
}

TEST_F(CancelTest, InformationAskedFromAHandlerIsRefusedAndTheTransferGoesOn) {
  ServeFile("/f", 40000, 5);
  Aim("/f", L"f.bin");
  ASSERT_TRUE(Transfer());  // from now on every request ends the session
  owner.events.clear();
  owner.onProgress = [&](long) {
    if (owner.Count(Kind::Progress) == 2) {
      EXPECT_FALSE(download.RequestInformation());
    }
  };
  EXPECT_TRUE(Transfer());
  EXPECT_EQ(owner.Sequence().back(), 'C');
  EXPECT_EQ(ReadWholeFile(LocalPath(L"f.bin")), Pattern(5, 0, 40000));
  EXPECT_FALSE(download.IsSessionOpen());
}

// A server that accepts connections and never says a word: a listening
// socket nobody accepts on (the system completes the connections itself).
class SilentServer {
 public:
  SilentServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(socket_, 8);
    int size = sizeof at;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&at), &size);
    port_ = ntohs(at.sin_port);
  }
  ~SilentServer() {
    closesocket(socket_);
    WSACleanup();
  }
  std::wstring Url() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/x"; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
};

// The network work runs on a thread of the control's own; the owner still
// hears everything on its thread, in order, and waits on nothing for ever.
class DeadlineTest : public DownloadTest {
 protected:
  void SetUp() override {
    DownloadTest::SetUp();
    download.SetTimeouts(1000, 1000);
  }
  // Threads of this process now.
  static size_t ThreadCount() {
    size_t n = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t{sizeof t};
    for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
      n += t.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
  }
  // The count once threads that are ending (the server's, WinINet's) are gone.
  static size_t SettledThreadCount() {
    size_t last = ThreadCount(), same = 0;
    for (int i = 0; i < 60 && same < 4; ++i) {
      Sleep(50);
      const size_t now = ThreadCount();
      same = now == last ? same + 1 : 0;
      last = now;
    }
    return last;
  }
};

TEST_F(DeadlineTest, ASilentOrStalledServerEndsWithTheErrorsWithinTheirDeadline) {
  struct Case {
    const char* server;
    HttpHandler route;
    const wchar_t* error;
  };
  SilentServer silent;
  const Case cases[] = {
      {"silent", nullptr, L"Could not find URL"},
      // Sends its headers and a first block, then nothing.
      {"stalled",
       [](const HttpRequest&) { return HttpResponse::File(100000, 3).Slow(70000, 3000); },
       L"Could not read URL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    owner.events.clear();
    Aim("/x", L"x.bin");
    if (c.route)
      server.Route("/x", c.route);
    else
      download.SetUrl(silent.Url());
    download.SetFileSize(100000);
    const ULONGLONG started = GetTickCount64();
    EXPECT_FALSE(Transfer());
    EXPECT_LT(GetTickCount64() - started, 2800u);
    ASSERT_FALSE(owner.events.empty());
    EXPECT_EQ(owner.events.back().text, c.error);
    // What arrived before the server fell silent stays.
    if (owner.Count(Kind::Progress) > 0) {
      EXPECT_EQ(ReadWholeFile(LocalPath(L"x.bin")),
                Pattern(3, 0, static_cast<size_t>(download.BytesReceived())));
    }
  }
}

TEST_F(DeadlineTest, AStopDuringASilentConnectEndsAtOnce) {
  SilentServer silent;
  Aim("/x", L"x.bin");
  download.SetUrl(silent.Url());
  download.SetTimeouts(30000, 30000);
  OwnerWindow window;
  ULONGLONG stoppedAt = 0;
  window.onTick = [&] {
    window.StopTimer();
    stoppedAt = GetTickCount64();
    download.CancelDownload();
  };
  window.StartTimer(200);
  EXPECT_FALSE(Transfer());
  ASSERT_NE(stoppedAt, 0u);
  EXPECT_LT(GetTickCount64() - stoppedAt, 100u);
  EXPECT_EQ(owner.Sequence(), "X");
}

TEST_F(DeadlineTest, NotificationsArriveInOrderOnTheCallersThreadAndNoThreadOutlivesTheControl) {
  ServeFile("/f", 300000, 4);
  // WinINet keeps threads of its own once used (its connection pool): they
  // are there before the count.
  Aim("/f", L"warm.bin");
  ASSERT_TRUE(Transfer());
  owner.events.clear();
  SilentServer silent;
  const size_t before = SettledThreadCount();
  {
    Download control{window};
    control.SetEvents(&owner);
    control.SetUrl(server.Url("/f"));
    control.SetLocalFile(LocalPath(L"f.bin"));
    ASSERT_TRUE(Transfer(control));
    // A second request stopped while its server says nothing: its thread
    // still ends with the control.
    control.SetUrl(silent.Url());
    control.SetTimeouts(1000, 1000);
    OwnerWindow window;
    window.onTick = [&] {
      window.StopTimer();
      control.CancelDownload();
    };
    window.StartTimer(100);
    EXPECT_FALSE(Transfer(control));
  }
  // Right after the control: none of its threads is left (others may end).
  EXPECT_LE(ThreadCount(), before);
  // Progress for each block and the final empty read, Complete, then the
  // cancelled request's end.
  const std::string sequence = owner.Sequence();
  EXPECT_GE(sequence.size(), 4u);
  EXPECT_EQ(sequence.find_first_not_of('P'), sequence.size() - 2) << sequence;
  EXPECT_EQ(sequence.substr(sequence.size() - 2), "CX");
  for (const DownloadEvent& e : owner.events) EXPECT_EQ(e.thread, GetCurrentThreadId());
  std::vector<long> progress = owner.Progress();
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

}  // namespace
