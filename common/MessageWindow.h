#pragma once
// A message-only window: the one place where work done on other threads
// comes back to the user-interface thread, as a posted message, and where
// waits of the program's own run as timers. Nothing waits in a loop of its
// own: each step is a message the window's thread takes in its turn.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "common/Window.h"

namespace mf {

class MessageWindow final : public Window {
 public:
  MessageWindow();
  ~MessageWindow() override;

  // A mailbox: `Post` may be called from any thread; the handler runs on the
  // window's thread, once per message taken. Closed (the handler forgotten)
  // when the returned id is closed, or with the window.
  using Mailbox = uint32_t;
  Mailbox Open(std::function<void()> handler);
  void Close(Mailbox box);
  void Post(Mailbox box) const;
  // Posts to `box` from any thread; harmless once the window is gone.
  std::function<void()> PosterFor(Mailbox box) const;

  // Runs `action` once on the window's thread after `ms`; the returned id
  // cancels it until then.
  using Timer = UINT_PTR;
  Timer After(UINT ms, std::function<void()> action);
  void Cancel(Timer timer);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  static constexpr UINT kMsgPosted = WM_APP + 0x40;
  std::map<Mailbox, std::function<void()>> boxes_;
  std::map<Timer, std::function<void()>> timers_;
  Mailbox lastBox_ = 0;
  Timer lastTimer_ = 0;
};

}  // namespace mf
