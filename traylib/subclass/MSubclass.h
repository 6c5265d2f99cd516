#pragma once
// The subclassing engine: routes the messages of a window of this process to
// client objects. The engine replaces the window's procedure with its own on
// the first attachment and puts the previous one back when the last goes (or
// when the window is destroyed with no client for WM_DESTROY), unless another
// procedure was installed on top of it meanwhile: then it stays in the chain
// and passes messages through until the window goes.
#include <windows.h>

#include "traylib/subclass/ISubclass.h"

namespace sd {

// Numbers (above the object-error base) of the errors AttachMessage raises.
inline constexpr long kErrCantSubclass = 13081;
inline constexpr long kErrAlreadyHandled = 13082;
inline constexpr long kErrInvalidWindow = 13083;
inline constexpr long kErrExternalWindow = 13084;

namespace MSubclass {

// True when the window belongs to the current process.
bool IsWindowLocal(HWND hwnd);
// The library never runs inside a development environment.
bool InIDE();
// Adds `client` to the clients of `iMsg` on `hwnd`. Raises sd::Error; a failed
// attachment leaves the window's store as it found it.
void AttachMessage(ISubclass* client, HWND hwnd, UINT iMsg);
// Removes `client` from that list. Never raises; unknown windows and clients are ignored.
void DetachMessage(ISubclass* client, HWND hwnd, UINT iMsg) noexcept;
// The message being handed to a client on this thread.
UINT CurrentMessage() noexcept;
// Calls the procedure that was in place before the engine's; 0 when there is none.
LRESULT CallOldWindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam);

}  // namespace MSubclass
}  // namespace sd
