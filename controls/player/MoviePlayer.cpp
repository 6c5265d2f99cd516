#include "controls/player/MoviePlayer.h"

#include <fstream>
#include <sstream>

#include "common/Text.h"

namespace mf {

bool MoviePlayer::Create(const CreateArgs& args) {
  events_ = args.events;
  RegisterClassOnce(kClassName, CS_DBLCLKS, nullptr);
  return CreateFor(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, args.left,
                   args.top, args.width, args.height, args.parent, nullptr);
}

void MoviePlayer::LoadMovie(int layer, const std::wstring& path) {
  if (layer != 0) return;
  moviePath_ = path;
  loaded_ = false;
  movieText_.clear();
  std::ifstream in(ToAnsi(path), std::ios::binary);
  if (!in) return;
  std::ostringstream text;
  text << in.rdbuf();
  movieText_ = text.str();
  loaded_ = true;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void MoviePlayer::SetVariable(const std::wstring& name, const std::wstring& value) {
  variables_[name] = value;
}

std::wstring MoviePlayer::GetVariable(const std::wstring& name) const {
  auto it = variables_.find(name);
  return it == variables_.end() ? std::wstring() : it->second;
}

void MoviePlayer::RaiseFSCommand(const std::wstring& command, const std::wstring& args) {
  if (events_) events_->FSCommand(command, args);
}

LRESULT MoviePlayer::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Hwnd(), &ps);
      FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_WINDOW));
      EndPaint(Hwnd(), &ps);
      return 0;
    }
    default:
      return Window::HandleMessage(msg, wParam, lParam);
  }
}

}  // namespace mf
