#pragma once
// The client side of the subclassing engine: an object that wants to see
// messages of a window it does not own.
#include <windows.h>

namespace sd {

// What the engine does with the window's previous procedure for a message.
enum EMsgResponse : LONG {
  MsgResponseConsume = 0,        // not called by the engine
  MsgResponseCallOldAfter = 1,   // called after the clients; its result wins
  MsgResponseCallOldBefore = 2,  // called before the client at position 1
};

// Clients are counted like COM objects: the engine takes a reference for the
// length of each call, never between messages, so a client must detach before
// it goes away.
class ISubclass {
 public:
  virtual ULONG AddRef() noexcept = 0;
  virtual ULONG Release() noexcept = 0;
  // The mode for the message in progress (MSubclass::CurrentMessage tells which).
  virtual EMsgResponse MsgResponse() = 0;
  virtual void MsgResponse(EMsgResponse mode) = 0;
  // Its result becomes the window procedure's result.
  virtual LRESULT WindowProc(HWND hwnd, UINT iMsg, WPARAM wParam, LPARAM lParam);

 protected:
  ~ISubclass() = default;
};

inline LRESULT ISubclass::WindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace sd
