// Times FillDownloadList for lists of 1,000 and 10,000 items and prints the
// cost per item. Each item's rebuild has fourteen yield points; for scale it
// also prints what one full look at the message queue costs here.
//   run: build/wine-run.sh build/bin/fill_list_bench.exe   (with DISPLAY set)
#include <windows.h>

#include <cstdio>

#include "common/DoEvents.h"
#include "downloadlist/DownloadList.h"

namespace {
double Microseconds(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1e6 * double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}
}  // namespace

int main() {
  LARGE_INTEGER t0, t1;
  constexpr int kPumps = 2000;
  QueryPerformanceCounter(&t0);
  for (int i = 0; i < kPumps; ++i) mf::DoEvents();
  QueryPerformanceCounter(&t1);
  std::printf("one message-queue pump (empty queue): %.1f us\n", Microseconds(t0, t1) / kPumps);

  for (int n : {1000, 10000}) {
    mf::DownloadList list;
    for (int i = 0; i < n; ++i)
      list.AddItem(L"http://www.youtube.com/watch?v=" + std::to_wstring(i),
                   L"Waiting (Auto Detect)", L"Waiting", L"????");
    QueryPerformanceCounter(&t0);
    bool ok = list.FillDownloadList();
    QueryPerformanceCounter(&t1);
    double us = Microseconds(t0, t1);
    std::printf("FillDownloadList %5d items: %10.0f us total, %7.2f us per item%s\n", n, us, us / n,
                ok ? "" : " (failed)");
  }
  return 0;
}
