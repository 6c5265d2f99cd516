// The limits of the settings, handed to the parts of the program that follow them.
#include "shell/Program.h"
#include "transfer/SpeedLimit.h"

namespace mf {

void Program::LimitsChanged() {
  // A run under way takes them up at its next item, or its next request.
  queue.SetSimultaneous(settings.SimultaneousDownloads);
  queue.SetConnectionsPerDownload(settings.ConnectionsPerDownload);
  queue.VideoQuality = static_cast<media::Quality>(settings.VideoQuality);
  queue.SetTimeWindow(settings.UseTimeWindow ? std::optional(settings.Window) : std::nullopt);
  SpeedLimit::Set(int64_t{settings.SpeedLimitInForce()} * 1024);
  // The tray's switch shows the limit; it has nothing to switch without a speed.
  frmMenu& menu = form.Menu;
  menu.SetEnabled(frmMenu::mnuLimitSpeed, settings.SpeedLimit > 0);
  menu.SetChecked(frmMenu::mnuLimitSpeed, settings.SpeedLimitInForce() > 0);
}

}  // namespace mf
