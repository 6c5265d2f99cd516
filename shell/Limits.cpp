// The limits of the settings, handed to the parts of the program that follow them.
#include "shell/Program.h"

namespace mf {

void Program::LimitsChanged() {
  // The tray's switch shows the limit; it has nothing to switch without a speed.
  frmMenu& menu = form.Menu;
  menu.SetEnabled(frmMenu::mnuLimitSpeed, settings.SpeedLimit > 0);
  menu.SetChecked(frmMenu::mnuLimitSpeed, settings.SpeedLimitInForce() > 0);
}

}  // namespace mf
