#pragma once
// The events of a balloon tooltip, raised to whoever owns the balloon object
// (the ToolTipOnDemand control passes them on to its host under the same names).
#include <windows.h>

namespace sd {

class IToolTipEvents {
 public:
  // A mouse message reached the balloon (WM_MOUSEMOVE 512 to WM_MBUTTONDBLCLK 521).
  virtual void MouseEvents(LONG mouseEvent) = 0;
  // The balloon's window was closed.
  virtual void BalloonDestroyed() = 0;
  // A balloon window was made and placed.
  virtual void BalloonShowed() = 0;

 protected:
  ~IToolTipEvents() = default;
};

}  // namespace sd
