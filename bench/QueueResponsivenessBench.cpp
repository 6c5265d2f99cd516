// How responsive the window stays while the queue driver downloads a large
// video: another thread asks the main window for a reply every 2 ms during
// the whole road of one item (page fetch, information request, 256 MiB
// transfer, its end) from a loopback server that waits 2 s before each
// answer's headers and then trickles the first bytes of each body before
// sending at full speed. The bench prints how long the replies took (the
// worst and the 99th percentile) and the throughput.
//   run (with DISPLAY set):
//   build/wine-run.sh build/bin/queue_responsiveness_bench.exe [MiB [items]]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/Text.h"
#include "downloadlist/DownloadList.h"
#include "shell/ItemPresenter.h"
#include "shell/Program.h"
#include "bench/QuietPlatform.h"
#include "tests/support/HttpServer.h"
#include "tests/support/TestProgram.h"

namespace {

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * double(c.QuadPart) / double(f.QuadPart);
}

// Another thread asks the window for a reply every 2 ms, as the system and
// the user's clicks do, and keeps how long each reply took.
struct Prober {
  HWND window;
  std::vector<double> replies;
  double worst = 0, worstAt = 0;  // the longest reply, and when it was asked
  std::atomic<bool> stop{false};
  std::thread thread;

  explicit Prober(HWND w) : window(w) {
    thread = std::thread([this] {
      while (!stop) {
        const double t = Now();
        DWORD_PTR r = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
        replies.push_back(Now() - t);
        if (replies.back() > worst) {
          worst = replies.back();
          worstAt = t;
        }
        Sleep(2);
      }
    });
  }
  std::vector<double> Finish() {
    stop = true;
    if (thread.joinable()) thread.join();
    return std::move(replies);
  }
  ~Prober() { Finish(); }
};

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const int items = argc > 2 ? std::atoi(argv[2]) : 1;
  mf::bench::QuietPlatform platform;
  mf::ScopedPlatform use(platform);
  mf::test::HttpServer http;
  if (!http.Start()) return 1;
  // A slow server: silence before the headers, then a trickle, then full speed.
  auto slowly = [](mf::test::HttpResponse r) {
    return r.DelayHeaders(2000).Slow(512, 50).SlowUntil(16 * 1024);
  };
  for (int n = 1; n <= items; ++n) {
    const std::string file = "/big" + std::to_string(n) + ".swf";
    http.Route("/angryalien.com/big" + std::to_string(n),
               slowly(mf::test::HttpResponse::Text("<embed src=\"" + mf::ToAnsi(http.Url(file)) +
                                                   "\">" + std::string(20000, ' '))));
    http.Route(file, slowly(mf::test::HttpResponse::File(mib * 1024 * 1024, 7).AcceptRanges()));
  }

  mf::test::TestProgram app;
  mf::frmMain& form = app.form;
  if (!form.Load()) return 1;
  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  app.settings.DownloadFolder = mf::FromAnsi(tmp) + L"mf-responsiveness";
  app.queue.SetSimultaneous(items);
  for (int n = 1; n <= items; ++n)
    app.gridView.AddURLToList(http.Url("/angryalien.com/big" + std::to_string(n)));

  // The program's own message loop, until one second after the run ended:
  // the end of a large item is where the window once stalled.
  std::vector<double> replies;
  double seconds = 0, worstAt = 0;
  {
    Prober prober(form.Hwnd());
    SetTimer(form.Hwnd(), 4711, 20, nullptr);
    const double t0 = Now();
    form.cmdStartDownload_Click();
    double endedAt = 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (!endedAt && !app.queue.IsDownloading) {
        endedAt = Now();
        seconds = (endedAt - t0) / 1000.0;
      }
      if (endedAt && Now() - endedAt > 1000) break;
    }
    KillTimer(form.Hwnd(), 4711);
    replies = prober.Finish();
    worstAt = (prober.worstAt - t0) / 1000.0;
  }
  std::sort(replies.begin(), replies.end());
  const double worst = replies.empty() ? 0 : replies.back();
  const double p99 = replies.empty() ? 0 : replies[replies.size() * 99 / 100];
  std::wstring statuses;
  for (const mf::DownloadItem& item : app.list.Items()) {
    statuses += statuses.empty() ? L"" : L", ";
    statuses += mf::ItemPresenter::StatusText(item);
    mf::DeleteFileForced(app.settings.DownloadFolder + L"\\" + item.FileName);
  }
  std::printf("%d x %llu MiB in %.1f s (%.1f MB/s), %ls\n", items,
              static_cast<unsigned long long>(mib), seconds,
              double(mib) * items * 1.048576 / seconds, statuses.c_str());
  std::printf(
      "window replies: %zu, worst %.1f ms, 99th percentile %.1f ms"
      " (targets: below 20 ms and 5 ms); the worst asked %.2f s after Start\n",
      replies.size(), worst, p99, worstAt);
  RemoveDirectoryA(mf::ToAnsi(app.settings.DownloadFolder).c_str());
  return 0;
}
