// Times FillDownloadList for lists of 1,000 and 10,000 items and prints the
// cost per item. Each item's rebuild yields fourteen times to the message loop.
//   run: build/wine-run.sh build/bin/fill_list_bench.exe
#include <windows.h>

#include <cstdio>

#include "downloadlist/modMain.h"

int main() {
  for (int n : {1000, 10000}) {
    mf::modMain::Reset();
    for (int i = 0; i < n; ++i)
      mf::modMain::AddItem(L"http://www.youtube.com/watch?v=" + std::to_wstring(i),
                           L"Waiting (Auto Detect)", L"Waiting", L"????");
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    bool ok = mf::modMain::FillDownloadList();
    QueryPerformanceCounter(&t1);
    double us = 1e6 * double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart);
    std::printf("FillDownloadList %5d items: %10.0f us total, %7.2f us per item%s\n", n, us,
                us / n, ok ? "" : " (failed)");
  }
  return 0;
}
