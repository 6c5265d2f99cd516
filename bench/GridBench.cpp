// Times the Download grid: a full rebuild-and-bind of 1,000 items and the
// binding alone; one progress step (the queue driver's write into the
// running item's Status cell and the repaint of that cell), the grid's own
// painting of that cell and DrawProgressCell alone.
//   run: build/wine-run.sh build/bin/grid_bench.exe   (under Xvfb, test prefix)
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "bench/QuietPlatform.h"
#include "downloadlist/modGrid.h"
#include "downloadlist/DownloadList.h"
#include "shell/Program.h"
#include "tests/support/TestProgram.h"

namespace {

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1e6 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);
  mf::bench::QuietPlatform platform;
  mf::ScopedPlatform use(platform);
  mf::test::TestProgram app;
  mf::frmMain& form = app.form;
  if (!form.Load()) return 1;
  app.gridView.DownloadGrid.SetVisible(true);
  app.gridView.DownloadGrid.BringToFront();

  constexpr int kItems = 1000;
  for (int i = 0; i < kItems; ++i)
    app.list.AddItem(L"http://www.youtube.com/watch?v=" + std::to_wstring(i),
                     L"Waiting (Auto Detect)", L"Waiting", L"????");
  for (int run = 0; run < 3; ++run) {
    LARGE_INTEGER t0 = Now();
    bool ok = app.list.FillDownloadList();
    UpdateWindow(app.gridView.DownloadGrid.Hwnd());
    LARGE_INTEGER t1 = Now();
    std::printf("rebuild and bind, %d items: %9.0f us (%.2f us per item)%s\n", kItems,
                Microseconds(t0, t1), Microseconds(t0, t1) / kItems, ok ? "" : " FAILED");
  }

  // The binding alone (the rebuild above yields fourteen times per item).
  LARGE_INTEGER b0 = Now();
  for (int i = 0; i < 10; ++i) {
    app.gridView.FormatDownloadGrid(false);
    UpdateWindow(app.gridView.DownloadGrid.Hwnd());
  }
  LARGE_INTEGER b1 = Now();
  std::printf("bind alone, %d rows: %9.0f us\n", kItems, Microseconds(b0, b1) / 10);

  app.queue.IsDownloading = true;
  app.ShowRunning(app.list.At(3)->Key);
  app.gridView.LocateCurrentRow();
  if (!app.gridView.CurrentRow) return 2;
  constexpr int kSteps = 2000;
  LARGE_INTEGER t0 = Now();
  for (int i = 0; i < kSteps; ++i) {
    app.gridView.CurrentRow->Cells(mf::DownloadList::colStatus).SetValue(std::to_wstring(i % 101));
    UpdateWindow(app.gridView.DownloadGrid.Hwnd());
  }
  GdiFlush();
  LARGE_INTEGER t1 = Now();
  std::printf("progress step (write Status cell + repaint it): %7.1f us\n",
              Microseconds(t0, t1) / kSteps);

  // The grid's own painting of that cell (what WM_PAINT does between
  // BeginPaint and EndPaint), into a screen-compatible bitmap.
  RECT cell{};
  app.gridView.DownloadGrid.GetCellRect(app.gridView.CurrentRow->Cells(mf::DownloadList::colStatus),
                                        &cell);
  RECT client;
  GetClientRect(app.gridView.DownloadGrid.Hwnd(), &client);
  HDC screen = GetDC(nullptr);
  HDC target = CreateCompatibleDC(screen);
  HBITMAP targetBitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldTarget = SelectObject(target, targetBitmap);
  t0 = Now();
  for (int i = 0; i < kSteps; ++i) app.gridView.DownloadGrid.PaintTo(target, cell);
  GdiFlush();
  t1 = Now();
  std::printf("grid painting of the progress cell:             %7.1f us\n",
              Microseconds(t0, t1) / kSteps);
  SelectObject(target, oldTarget);
  DeleteObject(targetBitmap);
  DeleteDC(target);

  // The painting of one progress cell alone, into a memory DC.
  HDC dc = CreateCompatibleDC(nullptr);
  HDC screenDc = GetDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(screenDc, 120, 20);
  ReleaseDC(nullptr, screenDc);
  HGDIOBJ old = SelectObject(dc, bm);
  mf::grid::UIElement element{mf::grid::kElementCell,
                              {0, 0, 112, 17},
                              nullptr,
                              app.gridView.CurrentRow->Cells(mf::DownloadList::colStatus)};
  mf::grid::DrawInfo info{dc, element};
  t0 = Now();
  for (int i = 0; i < kSteps; ++i)
    mf::modGrid::DrawProgressCell(info, i % 101, mf::grid::SystemColour(COLOR_HIGHLIGHT),
                                  mf::grid::SystemColour(COLOR_HIGHLIGHTTEXT), true);
  GdiFlush();
  t1 = Now();
  std::printf("DrawProgressCell alone:                         %7.1f us\n",
              Microseconds(t0, t1) / kSteps);
  SelectObject(dc, old);
  DeleteObject(bm);
  DeleteDC(dc);

  app.queue.IsDownloading = false;

  OleUninitialize();
  return 0;
}
