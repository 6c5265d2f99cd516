#include "common/MessageWindow.h"

namespace mf {

MessageWindow::MessageWindow() {
  RegisterClassOnce("MarrowfinMessages", 0, nullptr);
  CreateFor(0, "MarrowfinMessages", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

MessageWindow::~MessageWindow() {
  for (const auto& [id, action] : timers_) KillTimer(Hwnd(), id);
}

MessageWindow::Mailbox MessageWindow::Open(std::function<void()> handler) {
  boxes_[++lastBox_] = std::move(handler);
  return lastBox_;
}

void MessageWindow::Close(Mailbox box) { boxes_.erase(box); }

void MessageWindow::Post(Mailbox box) const { PostMessageW(Hwnd(), kMsgPosted, box, 0); }

std::function<void()> MessageWindow::PosterFor(Mailbox box) const {
  const HWND window = Hwnd();
  return [window, box] { PostMessageW(window, kMsgPosted, box, 0); };
}

MessageWindow::Timer MessageWindow::After(UINT ms, std::function<void()> action) {
  const Timer id = ++lastTimer_;
  timers_[id] = std::move(action);
  SetTimer(Hwnd(), id, ms, nullptr);
  return id;
}

void MessageWindow::Cancel(Timer timer) {
  if (timers_.erase(timer)) KillTimer(Hwnd(), timer);
}

LRESULT MessageWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgPosted) {
    // A box closed meanwhile takes its late messages nowhere. The handler may
    // close its own box: it runs from a copy.
    auto it = boxes_.find(static_cast<Mailbox>(wParam));
    if (it != boxes_.end()) {
      std::function<void()> handler = it->second;
      handler();
    }
    return 0;
  }
  if (msg == WM_TIMER) {
    auto it = timers_.find(wParam);
    KillTimer(Hwnd(), wParam);
    if (it == timers_.end()) return 0;
    std::function<void()> action = std::move(it->second);
    timers_.erase(it);
    action();
    return 0;
  }
  return Window::HandleMessage(msg, wParam, lParam);
}

}  // namespace mf
