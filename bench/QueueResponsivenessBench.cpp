// How responsive the window stays while the queue driver downloads a large
// video: a 10 ms window timer runs on the main window during the whole road
// of one item (page fetch, information request, 256 MiB transfer) from a
// loopback server that waits 2 s before each answer's headers and then
// trickles the first bytes of each body before sending at full speed. The
// bench prints how late the timer's ticks came (the worst and the 99th
// percentile) and the throughput.
//   run (with DISPLAY set): build/wine-run.sh build/bin/queue_responsiveness_bench.exe [MiB]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/Text.h"
#include "downloadlist/DownloadList.h"
#include "shell/ItemPresenter.h"
#include "shell/Program.h"
#include "bench/QuietPlatform.h"
#include "tests/support/HttpServer.h"

namespace {

std::vector<double> g_gaps;
LARGE_INTEGER g_last{};

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * double(c.QuadPart) / double(f.QuadPart);
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  if (g_last.QuadPart) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    g_gaps.push_back(1000.0 * double(c.QuadPart - g_last.QuadPart) / double(f.QuadPart));
  }
  g_last = c;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  mf::bench::QuietPlatform platform;
  mf::ScopedPlatform use(platform);
  mf::test::HttpServer http;
  if (!http.Start()) return 1;
  // A slow server: silence before the headers, then a trickle, then full speed.
  auto slowly = [](mf::test::HttpResponse r) {
    return r.DelayHeaders(2000).Slow(512, 50).SlowUntil(16 * 1024);
  };
  http.Route(
      "/angryalien.com/big",
      slowly(mf::test::HttpResponse::Text("<embed src=\"" + mf::ToAnsi(http.Url("/big.swf")) +
                                          "\">" + std::string(20000, ' '))));
  http.Route("/big.swf", slowly(mf::test::HttpResponse::File(mib * 1024 * 1024, 7)));

  mf::Program app;
  mf::frmMain& form = app.form;
  if (!form.Load()) return 1;
  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  app.settings.DownloadFolder = mf::FromAnsi(tmp) + L"mf-responsiveness";
  app.gridView.AddURLToList(http.Url("/angryalien.com/big"));

  SetTimer(form.Hwnd(), 4711, 10, &Tick);
  double t0 = Now();
  form.cmdStartDownload_Click();
  double seconds = (Now() - t0) / 1000.0;
  KillTimer(form.Hwnd(), 4711);

  const std::wstring file = app.settings.DownloadFolder + L"\\big.swf";
  std::sort(g_gaps.begin(), g_gaps.end());
  double worst = g_gaps.empty() ? 0 : g_gaps.back() - 10;
  double p99 = g_gaps.empty() ? 0 : g_gaps[g_gaps.size() * 99 / 100] - 10;
  std::printf("%llu MiB in %.1f s (%.1f MB/s), status %ls\n", static_cast<unsigned long long>(mib),
              seconds, double(mib) * 1.048576 / seconds,
              mf::ItemPresenter::StatusText(app.list.Items()[0]).c_str());
  std::printf(
      "10 ms timer: %zu ticks, worst delay %.1f ms, 99th percentile %.1f ms"
      " (targets: below 50 ms and 5 ms)\n",
      g_gaps.size() + 1, worst, p99);
  mf::DeleteFileForced(file);
  RemoveDirectoryA(mf::ToAnsi(app.settings.DownloadFolder).c_str());
  return 0;
}
