// Where the icon is, as the control reports it: IconRect, SysTrayHWnd,
// GetIconMiddle and the TrayIconMoved event of movement tracking. Wine's
// notification area has no toolbar of tooltip tools, so the test's helper
// program (traylib_standin) stands in for the taskbar on a desktop of the
// test's own, with one tool that carries the library's marker text where the
// icon would be.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/Process.h"
#include "tests/support/Wait.h"
#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

using mf::test::PumpUntil;

const std::string& DesktopName() {
  static const std::string name = "SabledriftComTest" + std::to_string(GetCurrentProcessId());
  return name;
}

// Runs `body` on a thread of the test's own desktop, in an apartment of its
// own, while this thread keeps pumping.
void OnTestDesktop(const std::function<void()>& body) {
  // Kept open so that the desktop lives as long as the test program.
  static HDESK created =
      CreateDesktopA(DesktopName().c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ASSERT_NE(nullptr, created);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    HDESK desktop = OpenDesktopA(DesktopName().c_str(), 0, FALSE, GENERIC_ALL);
    if (desktop && SetThreadDesktop(desktop) && SUCCEEDED(OleInitialize(nullptr))) {
      body();
      OleUninitialize();
    } else {
      ADD_FAILURE() << "no thread on the test desktop: " << GetLastError();
    }
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 120000);
  worker.join();
}

// The stand-in taskbar, its toolbar at (810, 954) on the screen.
struct StandIn {
  mf::test::ChildProcess process;
  std::map<std::string, HWND> windows;

  bool Start(const std::wstring& toolText) {
    std::wstring desktop(DesktopName().begin(), DesktopName().end());
    std::wstring args = L"taskbar desktop=" + desktop + L" \"tool=0,2,17,21," + toolText + L"\"";
    if (!process.Start(mf::test::BesideTest(L"traylib_standin.exe"), args, true)) return false;
    std::string line;
    if (!process.ReadLine(line, 20000) || line.rfind("ready", 0) != 0) return false;
    std::istringstream fields(line.substr(5));
    std::string field;
    while (fields >> field) {
      size_t eq = field.find('=');
      if (eq == std::string::npos) continue;
      windows[field.substr(0, eq)] = reinterpret_cast<HWND>(
          static_cast<LONG_PTR>(std::strtoll(field.c_str() + eq + 1, nullptr, 10)));
    }
    // Wine's explorer keeps a hidden taskbar on every desktop; ours is topmost.
    return PumpUntil([&] { return FindWindowA("Shell_TrayWnd", nullptr) == windows["tray"]; },
                     10000);
  }
  ~StandIn() {
    if (windows["tray"]) PostMessageA(windows["tray"], WM_CLOSE, 0, 0);
    process.WaitExit(10000);
  }
};

// The text the library gives its icon while it looks for it.
std::wstring Marker() {
  return L"wAnTeD tRaY iCoN " +
         std::to_wstring(reinterpret_cast<LONG_PTR>(GetModuleHandleW(L"Sabledrift.dll")));
}

TEST(TrayIconPosition, RectangleMiddleToolbarAndMovementReachTheHost) {
  OnTestDesktop([] {
    Ref<IDispatch> control = CreateTrayIcon();
    ASSERT_TRUE(control);
    StandIn bar;
    ASSERT_TRUE(bar.Start(Marker()));
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, owner);

    auto points = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    Ref<IConnectionPoint> events;
    ASSERT_EQ(S_OK, points->FindConnectionPoint(DIID___TrayIcon, events.Put()));
    Ref<EventSink> sink = EventSink::Create();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, events->Advise(sink.Get(), &cookie));
    ASSERT_EQ(S_OK, Put(control.Get(), id::IconMovementTrackInterval, Var(20L).v));
    ASSERT_EQ(S_OK, Put(control.Get(), id::TrackIconMovement, Var(true).v));

    LONG hwnd = HandleNumber(owner);
    DispatchCall create;
    Invoke(control.Get(), id::Create, DISPATCH_METHOD, {ByRef(&hwnd)}, create);
    ASSERT_EQ(S_OK, create.hr);

    // The first tick reports the middle, lX then lY; later ticks find it where it was.
    ASSERT_TRUE(PumpUntil([&] { return !sink->events.empty(); }, 10000));
    mf::test::PumpFor(150);
    ASSERT_EQ(1u, sink->events.size());
    EXPECT_EQ(3, sink->events[0].id);
    EXPECT_EQ((std::vector<LONG>{818, 966}), sink->events[0].args);

    DispatchCall rect;
    Invoke(control.Get(), id::IconRect, DISPATCH_METHOD, {}, rect);
    ASSERT_EQ(S_OK, rect.hr);
    ASSERT_EQ(VT_RECORD, V_VT(&rect.result.v));
    const auto* r = static_cast<const tiRECT*>(V_RECORD(&rect.result.v));
    EXPECT_EQ(810, r->Left);
    EXPECT_EQ(956, r->Top);
    EXPECT_EQ(827, r->Right);
    EXPECT_EQ(975, r->Bottom);

    LONG x = -1, y = -1;
    DispatchCall middle;
    Invoke(control.Get(), id::GetIconMiddle, DISPATCH_METHOD, {ByRef(&x), ByRef(&y)}, middle);
    ASSERT_EQ(S_OK, middle.hr);
    EXPECT_EQ(818, x);
    EXPECT_EQ(966, y);

    EXPECT_EQ(HandleNumber(bar.windows["toolbar"]), GetLong(control.Get(), id::SysTrayHWnd));

    events->Unadvise(cookie);
    DispatchCall remove;
    Invoke(control.Get(), id::Remove, DISPATCH_METHOD, {}, remove);
    DestroyWindow(owner);
  });
}

}  // namespace
}  // namespace sdtest
