// Marrowfin as Marrowfin.exe starts it, with the system's high contrast
// switched on for it: Wine never reports high contrast, and the screenshots
// (tools/app_screenshots.sh) show the window in it. Not a test.
#include <windows.h>

#include <commctrl.h>

#include "common/DoEvents.h"
#include "shell/Program.h"
#include "tests/support/TestProgram.h"

namespace {

class HighContrastLook final : public mf::ISystemLook {
 public:
  bool HighContrast() override { return true; }
  bool DarkApps() override { return false; }
};

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  HighContrastLook look;
  mf::test::TestProgram app;
  app.form.SetQuitOnDestroy(true);
  app.keeper.SetFile(mf::QueueKeeper::DefaultFile());
  if (!app.form.Load()) return 1;
  Controls(app.form).Frame.UseSystemLook(look);
  return mf::RunMessageLoop();
}
