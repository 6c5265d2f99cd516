#pragma once
// A top-level window that hosts a movie player the way the program does,
// records the commands the movie sends, and clicks with real mouse messages.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Text.h"
#include "controls/player/MoviePlayer.h"

namespace mf::test {

class PlayerHost : public IMoviePlayerEvents {
 public:
  MoviePlayer player;
  std::vector<std::wstring> commands;
  HWND window = nullptr;

  ~PlayerHost() override {
    if (window) DestroyWindow(window);
  }

  bool Open(int width, int height) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MarrowfinPlayerTestHost";
    RegisterClassA(&wc);
    window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, "Player test",
                             WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr,
                             wc.hInstance, nullptr);
    // Shown without activation: taking an active window down costs Wine seconds.
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window &&
           player.Create({.parent = window, .width = width, .height = height, .events = this});
  }

  // Loads the text as a movie file; true when the player took it.
  bool LoadText(const std::string& text) {
    char folder[MAX_PATH], file[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "mfm", 0, file);
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
    player.LoadMovie(0, FromAnsi(file));
    DeleteFileA(file);
    return player.IsMovieLoaded();
  }

  size_t Find(const std::wstring& name) const {
    const auto& elements = player.LoadedMovie().elements;
    for (size_t i = 0; i < elements.size(); ++i)
      if (elements[i].name == name) return i;
    return elements.size();
  }

  void FSCommand(const std::wstring& command, const std::wstring&) override {
    commands.push_back(command);
  }

  void Down(int x, int y) {
    SendMessageA(player.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageA(player.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  }
  void Up(int x, int y) {
    SendMessageA(player.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(player.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Click(int x, int y) {
    Down(x, y);
    Up(x, y);
  }

  // A point of the element that a click reaches (it may lie partly under
  // others); the centre when no point does.
  POINT Inside(size_t index) const {
    RECT r = player.ElementRect(index);
    for (int y = r.top + 1; y < r.bottom; y += 3)
      for (int x = r.left + 1; x < r.right; x += 3)
        if (player.ElementAt(x, y) == static_cast<int>(index)) return {x, y};
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // What the movie draws now, pixel by pixel (without its text fields).
  std::vector<uint32_t> Picture(int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> pixels;
    if (bmp) {
      HGDIOBJ old = SelectObject(dc, bmp);
      player.RenderTo(dc, {0, 0, width, height});
      GdiFlush();
      auto* p = static_cast<uint32_t*>(bits);
      pixels.assign(p, p + static_cast<size_t>(width) * height);
      SelectObject(dc, old);
      DeleteObject(bmp);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
  }

  void ClickElement(size_t index) {
    POINT p = Inside(index);
    Click(p.x, p.y);
  }
};

}  // namespace mf::test
