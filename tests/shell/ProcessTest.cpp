// Start-up and shutdown seen from outside, with real processes.
// This program never loads the main window itself, so it holds no mutex.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/Text.h"
#include "common/WholeFile.h"
#include "common/WindowText.h"
#include "shell/SingleInstance.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"

using namespace mf;
using namespace mf::test;

namespace {

struct Transcript {
  std::vector<std::string> lines;
  bool Has(const std::string& s) const {
    return std::find(lines.begin(), lines.end(), s) != lines.end();
  }
};

// The system icon among the four of message boxes whose picture is closest to
// the given one (the box holds its own copy, so handles differ).
LPCSTR ClosestSystemIcon(HICON shown) {
  auto render = [](HICON icon) {
    std::vector<COLORREF> px;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 32, 32);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT r{0, 0, 32, 32};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) px.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return px;
  };
  if (!shown) return nullptr;
  std::vector<COLORREF> seen = render(shown);
  LPCSTR best = nullptr;
  size_t bestDiff = SIZE_MAX;
  for (LPCSTR id : {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK}) {
    std::vector<COLORREF> ref = render(LoadIconA(nullptr, id));
    size_t diff = 0;
    for (size_t i = 0; i < ref.size(); ++i) diff += ref[i] != seen[i];
    if (diff < bestDiff) {
      bestDiff = diff;
      best = id;
    }
  }
  return best;
}

// Runs the helper on one route and collects what it printed until it ended.
Transcript RunRoute(const wchar_t* route, DWORD* exitCode) {
  ChildProcess child;
  Transcript t;
  EXPECT_TRUE(child.Start(BesideTest(L"shell_child.exe"), route, true));
  std::string line;
  while (child.ReadLine(line, 10000)) t.lines.push_back(line);
  EXPECT_TRUE(child.WaitExit(10000, exitCode));
  return t;
}

TEST(Shutdown, ExitWithoutADownloadAsksNothingAndEndsTheProcess) {
  DWORD code = 99;
  Transcript t = RunRoute(L"idle", &code);
  EXPECT_TRUE(t.Has("loaded"));
  EXPECT_FALSE(t.Has("returned"));
  for (const auto& l : t.lines) EXPECT_NE(l.rfind("asked:", 0), 0u) << l;
  EXPECT_EQ(code, 0u);
}

TEST(Shutdown, WritesTheListsLastChange) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"mf-shutdown-queue.json";
  DeleteFileW(file.c_str());
  DWORD code = 99;
  RunRoute((L"change " + file).c_str(), &code);
  EXPECT_EQ(code, 0u);
  DWORD error = 0;
  const std::string text = ReadWholeFile(file, 1u << 20, error).value_or("");
  DeleteFileW(file.c_str());
  EXPECT_NE(text.find("watch?v=kept"), std::string::npos) << text;
  EXPECT_NE(text.find("kept.flv"), std::string::npos) << text;
}

TEST(Shutdown, StopsTheWatcherEvenWhenMonitoringWasOff) {
  const char kKey[] = "Software\\Tallowmere Marrowfin\\Settings";
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "URL Mon", REG_SZ, "False", 6), ERROR_SUCCESS);
  DWORD code = 99;
  Transcript t = RunRoute(L"idle", &code);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin");
  std::vector<std::string> launches;
  for (const auto& l : t.lines)
    if (l.rfind("launched:", 0) == 0) launches.push_back(l);
  EXPECT_EQ(launches, std::vector<std::string>{"launched:Exit"});
  EXPECT_EQ(code, 0u);
}

TEST(Shutdown, ExitDuringADownloadAnsweredYesEndsTheProcess) {
  DWORD code = 99;
  Transcript t = RunRoute(L"yes", &code);
  EXPECT_TRUE(t.Has("asked:Download is in Progress, Are you sure that you want to exit?"));
  EXPECT_FALSE(t.Has("returned"));
  EXPECT_EQ(code, 0u);
}

TEST(Shutdown, TrayRouteEndsAbout200MsAfterTheTimerIsEnabled) {
  ChildProcess child;
  ASSERT_TRUE(child.Start(BesideTest(L"shell_child.exe"), L"tray", true));
  std::string line;
  // The watcher's launches are not what this test follows.
  auto nextLine = [&](DWORD timeoutMs) {
    while (child.ReadLine(line, timeoutMs))
      if (line.rfind("launched:", 0) != 0) return true;
    return false;
  };
  ASSERT_TRUE(nextLine(15000));
  ASSERT_EQ(line, "loaded");
  ASSERT_TRUE(nextLine(5000));
  // Enabling returned before the shutdown ran.
  ASSERT_EQ(line, "enabled");
  ULONGLONG enabledAt = GetTickCount64();
  DWORD code = 99;
  ASSERT_TRUE(child.WaitExit(5000, &code));
  ULONGLONG elapsed = GetTickCount64() - enabledAt;
  EXPECT_EQ(code, 0u);
  EXPECT_GE(elapsed, 150u);
  EXPECT_LT(elapsed, 2000u);
  EXPECT_FALSE(nextLine(100) && line == "returned");
}

TEST(SingleInstance, SecondStartShowsTheWarningAndEnds) {
  ChildProcess first;
  ASSERT_TRUE(first.Start(BesideTest(L"Marrowfin.exe"), L""));
  HWND main1 = WaitForWindow(first.Id(), "MarrowfinMain", "Marrowfin", 20000);
  ASSERT_NE(main1, nullptr);

  ChildProcess second;
  ASSERT_TRUE(second.Start(BesideTest(L"Marrowfin.exe"), L""));
  HWND box = WaitForWindow(second.Id(), "#32770", "Warning", 20000);
  ASSERT_NE(box, nullptr) << "no Warning box from the second instance";
  EXPECT_NE(DialogText(box).find(L"The application is already running."), std::wstring::npos);
  // One OK button and the exclamation icon.
  int buttons = 0;
  HWND ok = nullptr;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[32] = {};
    GetClassNameA(c, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(c)) {
      ++buttons;
      ok = c;
    }
  }
  EXPECT_EQ(buttons, 1);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(GetDlgCtrlID(ok), IDOK);
  bool exclamation = false;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      exclamation =
          ClosestSystemIcon(reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0))) ==
          IDI_EXCLAMATION;
  }
  EXPECT_TRUE(exclamation);
  // The second instance shows no window of its own.
  for (HWND h : WindowsOfProcess(second.Id(), "MarrowfinMain")) EXPECT_FALSE(IsWindowVisible(h));

  PostMessageA(box, WM_COMMAND, IDOK, 0);
  DWORD code = 99;
  ASSERT_TRUE(second.WaitExit(10000, &code));
  EXPECT_EQ(code, 0u);

  // The first instance runs on and still holds the mutex.
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(IsWindow(main1));
  HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutexName);
  EXPECT_NE(m, nullptr);
  if (m) CloseHandle(m);
  // One watcher, started by the first instance; the killed program leaves
  // it behind, so it is stopped here the way the program's shutdown does.
  auto watcher = [] {
    return FindWindowExA(HWND_MESSAGE, nullptr, "MarrowfinClipWatcher", nullptr);
  };
  EXPECT_TRUE(PumpUntil([&] { return watcher() != nullptr; }, 10000));
  first.Kill();
  ChildProcess stop;
  ASSERT_TRUE(stop.Start(BesideTest(L"Clip.exe"), L"Exit"));
  EXPECT_TRUE(stop.WaitExit(10000));
  EXPECT_TRUE(PumpUntil([&] { return watcher() == nullptr; }, 10000));
}

}  // namespace
