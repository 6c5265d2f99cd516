// Shows the main window with the Download grid in front, holding items in
// every state, for a screenshot. Not a test: run it, capture the screen,
// look. It ends by itself after the given number of milliseconds.
//   build/wine-run.sh build/bin/grid_showcase.exe 8000 &
//   import -window root shot.png
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "common/DoEvents.h"
#include "downloadlist/DownloadList.h"
#include "shell/Program.h"
#include "tests/support/TestProgram.h"

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);
  const DWORD showFor = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 10000;

  mf::test::TestProgram app;
  mf::frmMain& form = app.form;
  if (!form.Load()) return 1;
  const wchar_t* yt = L"http://www.youtube.com/watch?v=";
  struct {
    std::wstring url, name, status, size;
  } items[] = {
      {std::wstring(yt) + L"a1", L"Holiday_clip.flv", L"Complete", L"12.3 MB"},
      {std::wstring(yt) + L"b2", L"Band_live.flv", L"45", L"8.1 MB"},
      {std::wstring(yt) + L"c3", L"Waiting (Auto Detect)", L"Preparing (45%)", L"????"},
      {std::wstring(yt) + L"d4", L"Waiting (Auto Detect)", L"Waiting", L"????"},
      {L"http://example.com/page", L"ERROR", L"Link is not supported", L"????"},
      {std::wstring(yt) + L"e5", L"Process failed.", L"ERROR", L"????"},
      {std::wstring(yt) + L"f6", L"Lecture.flv", L"1.5 MB so far..", L"0"},
      {std::wstring(yt) + L"g7", L"Cat.flv", L"80", L"3 MB"},
      {std::wstring(yt) + L"h8", L"Song.flv", L"100", L"4.2 MB"},
      {std::wstring(yt) + L"i9", L"Trailer.flv", L"0", L"22 MB"},
  };
  for (const auto& i : items) app.list.AddItem(i.url, i.name, i.status, i.size);
  app.list.FillDownloadList();
  app.gridView.DownloadGrid.SetVisible(true);
  app.gridView.DownloadGrid.BringToFront();
  // One row selected through its selector, another the active one.
  auto row = *app.gridView.DownloadGrid.FirstRow();
  for (int i = 0; i < 7; ++i) row = row.NextSibling();
  row.SetSelected(true);
  app.gridView.DownloadGrid.SetActiveCell(
      app.gridView.DownloadGrid.FirstRow()->NextSibling().Cells(2));

  const ULONGLONG end = GetTickCount64() + showFor;
  while (GetTickCount64() < end) {
    mf::DoEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }

  OleUninitialize();
  return 0;
}
