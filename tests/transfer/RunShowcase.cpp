// Shows the main window while a run downloads a throttled video from the
// loopback server, with the speed line beside the stop button, for a
// screenshot. Not a test: run it, capture the screen, look. It stops the run
// and ends by itself after the given number of milliseconds.
//   build/wine-run.sh build/bin/run_showcase.exe 12000 &
//   import -window root shot.png
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "common/AppPath.h"
#include "common/Text.h"
#include "shell/Program.h"
#include "tests/support/HttpServer.h"
#include "tests/support/Wait.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestProgram.h"

namespace {

mf::test::TestProgram* g_app = nullptr;
void CALLBACK StopRun(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_app->queue.CancelRequested = true;
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);
  const UINT showFor = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 12000;
  mf::test::RecordingPlatform platform;  // no question is asked of anyone
  mf::ScopedPlatform usePlatform{platform};

  mf::test::HttpServer http;
  if (!http.Start()) return 1;
  struct {
    const char* name;
    uint64_t size;
    size_t chunk;
  } videos[] = {{"Holiday_clip.flv", 900000, 0},
                {"Band_live.flv", 60000000, 65536},
                {"Lecture.flv", 3000000, 0}};
  mf::test::TestProgram app;
  g_app = &app;
  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  app.settings.DownloadFolder = mf::FromAnsi(tmp) + L"mf-showcase";
  if (!app.form.Load()) return 1;
  for (const auto& v : videos) {
    const std::string file = std::string("/v/") + v.name;
    mf::test::HttpResponse response = mf::test::HttpResponse::File(v.size, 3);
    if (v.chunk) response.Slow(v.chunk, 25);
    http.Route(file, response);
    http.Route(std::string("/www.angryalien.com/") + v.name + ".asp",
               mf::test::HttpResponse::Text("<embed src=\"" + mf::ToAnsi(http.Url(file)) + "\">"));
    app.gridView.AddURLToList(http.Url(std::string("/www.angryalien.com/") + v.name + ".asp"));
  }
  SetTimer(nullptr, 0, showFor, &StopRun);
  app.form.cmdStartDownload_Click();
  mf::test::PumpUntil([&] { return !app.queue.IsDownloading; }, 600000);

  for (const auto& v : videos) {
    mf::DeleteFileForced(app.settings.DownloadFolder + L"\\" + mf::FromAnsi(v.name));
    mf::DeleteFileForced(app.settings.DownloadFolder + L"\\" + mf::FromAnsi(v.name) + L".part");
  }
  RemoveDirectoryA(mf::ToAnsi(app.settings.DownloadFolder).c_str());
  http.Stop();
  OleUninitialize();
  return 0;
}
