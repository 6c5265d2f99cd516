// A helper program for the shutdown tests: loads the main window, then takes
// one of the shutdown routes named by its argument. Every message box it is
// asked is printed as "asked:<text>", every program it launches as
// "launched:<parameters>"; when a route returns, it prints
// "returned" and exits with 3, so only EndMe's own end gives exit code 0.
// A second argument names a file the Download list is kept in.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "common/DoEvents.h"
#include "common/Text.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestProgram.h"

namespace {

class PrintingPlatform : public mf::test::RecordingPlatform {
 public:
  INT_PTR ShellOpen(HWND owner, const std::wstring& verb, const std::wstring& file,
                    const std::wstring& parameters, const std::wstring& directory,
                    int show) override {
    std::printf("launched:%s\n", mf::ToAnsi(parameters).c_str());
    std::fflush(stdout);
    return RecordingPlatform::ShellOpen(owner, verb, file, parameters, directory, show);
  }
};

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  if (argc < 2) return 2;
  const char* route = argv[1];

  PrintingPlatform platform;
  platform.onMessageBox = [](const mf::test::MessageBoxCall& box) {
    std::printf("asked:%s\n", mf::ToAnsi(box.text).c_str());
    std::fflush(stdout);
  };
  mf::ScopedPlatform use(platform);

  mf::test::TestProgram app;
  if (argc > 2) app.keeper.SetFile(mf::FromAnsi(argv[2]));
  mf::frmMain& form = app.form;
  if (!form.Load()) return 4;
  std::printf("loaded\n");
  std::fflush(stdout);

  if (std::strcmp(route, "idle") == 0) {
    form.EndMe();
  } else if (std::strcmp(route, "change") == 0) {
    // The end comes before the list's save delay is over.
    app.list.AddItem(L"http://www.youtube.com/watch?v=kept", L"kept.flv", L"", L"");
    form.EndMe();
  } else if (std::strcmp(route, "yes") == 0) {
    app.queue.IsDownloading = true;
    platform.messageBoxAnswers = {IDYES};
    form.EndMe();
  } else if (std::strcmp(route, "tray") == 0) {
    Controls(form).tmrend.SetEnabled(true);
    std::printf("enabled\n");
    std::fflush(stdout);
    // The shutdown must come from the timer's tick, not from enabling it.
    mf::RunMessageLoop();
  } else {
    return 2;
  }
  std::printf("returned\n");
  std::fflush(stdout);
  return 3;
}
