// The search for the icon's screen rectangle. Wine's notification area has no
// toolbar of tools, so a helper process stands in for the taskbar, laid out as
// the real one with its tooltip window; the search must find the icon's tool in
// that process's memory. The stand-in lives on a desktop of its own, where it
// is the topmost "Shell_TrayWnd" (Wine's explorer keeps a hidden one on every
// desktop) and where no other test's icon calls can reach it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "tests/support/Wait.h"
#include "tests/traylib/StandInProtocol.h"
#include "tests/traylib/TraySupport.h"
#include "traylib/trayicon/cTrayIcon.h"
#include "traylib/trayicon/mTray.h"

namespace sd::test {
namespace {

using mf::test::PumpFor;
using mf::test::PumpUntil;

const std::string& DesktopName() {
  static const std::string name = "SabledriftTest" + std::to_string(GetCurrentProcessId());
  return name;
}

// Runs `body` on a thread of the test's own desktop while this thread keeps pumping.
void OnTestDesktop(const std::function<void()>& body) {
  // Kept open so that the desktop lives as long as the test program.
  static HDESK created =
      CreateDesktopA(DesktopName().c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ASSERT_NE(created, nullptr);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    // Wine closes a thread's desktop handle when the thread ends: each thread gets its own.
    HDESK desktop = OpenDesktopA(DesktopName().c_str(), 0, FALSE, GENERIC_ALL);
    if (desktop && SetThreadDesktop(desktop))
      body();
    else
      ADD_FAILURE() << "SetThreadDesktop failed: " << GetLastError();
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 120000);
  worker.join();
}

// "wAnTeD tRaY iCoN " and the module handle in signed decimal.
std::wstring Marker() {
  return L"wAnTeD tRaY iCoN " +
         std::to_wstring(reinterpret_cast<LONG_PTR>(GetModuleHandleW(nullptr)));
}
std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The toolbar of the stand-in is at (810, 954) on the screen, with or without its pager.
constexpr POINT kToolbar{810, 954};
const wchar_t kSlotA[] = L"slot=0,2,17,21";   // screen 810..827 x 956..975: middle (818, 966)
const wchar_t kSlotB[] = L"slot=24,2,43,22";  // screen 834..853 x 956..976: middle (844, 966)

class StandIn {
 public:
  bool Start(const std::wstring& options) {
    std::wstring args = L"taskbar desktop=" +
                        std::wstring(DesktopName().begin(), DesktopName().end()) + L" " + options;
    std::map<std::string, HWND> f;
    if (!StartHelper(process, args, f)) return false;
    tray = f["tray"], notify = f["notify"], pager = f["pager"], toolbar = f["toolbar"];
    tooltip = f["tooltip"], decoy = f["decoy"];
    // Wine's explorer may still be making its own hidden taskbar; ours is topmost.
    return PumpUntil([&] { return FindWindowA("Shell_TrayWnd", nullptr) == tray; }, 10000);
  }
  ~StandIn() {
    if (tray) PostMessageA(tray, WM_CLOSE, 0, 0);
    process.WaitExit(10000);
  }

  // What the shell would have been told, as the real taskbar learns it.
  BOOL Relay(DWORD message, const NOTIFYICONDATAA& data) {
    RelayedIcon icon{message, data.uFlags, data.uID, reinterpret_cast<LONG_PTR>(data.hWnd), {}};
    std::memcpy(icon.tip, data.szTip, sizeof icon.tip);
    COPYDATASTRUCT cds{kRelayTag, sizeof icon, &icon};
    return static_cast<BOOL>(SendMessageA(tray, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  }
  void Attach(NotifyRecorder& shell) {
    shell.forward = [this](DWORD message, NOTIFYICONDATAA& data) { return Relay(message, data); };
  }
  // The texts of the stand-in's tools as it holds them now.
  std::vector<std::string> Tools() {
    SendMessageA(tray, kDumpTools, 0, 0);
    std::vector<std::string> texts;
    std::string line;
    while (process.ReadLine(line, 5000) && line != "end")
      texts.push_back(line.substr(line.find(' ', 5) + 1));
    return texts;
  }
  RECT ToolbarRect() const {
    RECT r{};
    GetWindowRect(toolbar ? toolbar : pager ? pager : notify, &r);
    return r;
  }

  mf::test::ChildProcess process;
  HWND tray = nullptr, notify = nullptr, pager = nullptr, toolbar = nullptr;
  HWND tooltip = nullptr, decoy = nullptr;
};

struct Rect {
  LONG left = -7, right = -7, top = -7, bottom = -7;
  bool operator==(const Rect&) const = default;
};
Rect IconRect(cTrayIcon& icon) {
  Rect r;
  icon.GetIconRect(r.left, r.right, r.top, r.bottom);
  return r;
}
std::pair<LONG, LONG> IconMiddle(cTrayIcon& icon) {
  LONG x = -7, y = -7;
  icon.GetIconMiddle(x, y);
  return {x, y};
}
void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.right << ", " << r.top << ", " << r.bottom << "}";
}

// The tooltip texts the recorder saw, in order.
std::vector<std::string> TipChanges(const NotifyRecorder& shell) {
  std::vector<std::string> tips;
  for (const NotifyCall& c : shell.calls)
    if (c.message == NIM_MODIFY && c.data.uFlags == NIF_TIP) tips.push_back(c.Tip());
  return tips;
}

TEST(IconPosition, MiddleRoundsHalvesToEven) {
  EXPECT_EQ(mTray::Middle(0, 17), 8);
  EXPECT_EQ(mTray::Middle(0, 19), 10);
  EXPECT_EQ(mTray::Middle(1, 4), 2);
  EXPECT_EQ(mTray::Middle(1, 6), 4);
  EXPECT_EQ(mTray::Middle(5, 5), 5);
  EXPECT_EQ(mTray::Middle(-3, 0), -2);
  EXPECT_EQ(mTray::Middle(-1, 0), 0);
}

TEST(IconPosition, FindsTheIconsToolInTheTaskbarsProcess) {
  OnTestDesktop([] {
    const std::wstring longText = Marker() + L" and more than forty characters";
    StandIn bar;
    ASSERT_TRUE(bar.Start(L"\"tool=100,2,116,22," + longText + L"\" tool=120,2,136,22,Volume " +
                          kSlotA + L" \"decoy=" + Marker() + L"\""));
    // The decoy (TTS_NOPREFIX) comes first, and so does a tooltip of this process with the marker.
    ASSERT_EQ(mf::test::WindowsOfProcess(bar.process.Id(), "tooltips_class32").front(), bar.decoy);
    HWND own = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                               0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    std::wstring marker = Marker();
    TTTOOLINFOW ti{sizeof ti, 0, own, 1, {300, 2, 316, 22}, nullptr, marker.data()};
    SendMessageW(own, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    const RECT barRect = bar.ToolbarRect();
    ASSERT_EQ(barRect.left, kToolbar.x);
    ASSERT_EQ(barRect.top, kToolbar.y);

    NotifyRecorder shell;
    bar.Attach(shell);
    TestWindow owner;
    auto icon = MakeRef<cTrayIcon>();
    icon->Create(owner.hwnd(), nullptr, L"first icon");
    EXPECT_EQ(icon->SysTrayHWnd(), bar.toolbar);

    EXPECT_EQ(IconRect(*icon), (Rect{810, 827, 956, 975}));
    EXPECT_EQ(IconMiddle(*icon), std::make_pair(818L, 966L));
    EXPECT_EQ(mTray::TrayProcessId(), bar.process.Id());
    // What the search read: the long text only by its first 40 characters.
    const auto& table = mTray::ToolTable();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].text, longText.substr(0, 40));
    EXPECT_EQ(table[1].text, L"Volume");
    EXPECT_EQ(table[2].text, Marker());
    EXPECT_EQ(table[2].info.hwnd, bar.toolbar);
    // Each search showed the marker for a moment and put the tooltip back.
    EXPECT_EQ(TipChanges(shell), (std::vector<std::string>{Narrow(Marker()), "first icon",
                                                           Narrow(Marker()), "first icon"}));
    EXPECT_EQ(bar.Tools(), (std::vector<std::string>{Narrow(longText), "Volume", "first icon"}));
    EXPECT_EQ(icon->ToolTip(), L"first icon");
    DestroyWindow(own);
  });
}

TEST(IconPosition, FindsTheToolbarWithoutSysPager) {
  OnTestDesktop([] {
    StandIn bar;
    ASSERT_TRUE(bar.Start(std::wstring(L"nopager ") + kSlotA));
    ASSERT_EQ(bar.pager, nullptr);
    ASSERT_EQ(GetParent(bar.toolbar), bar.notify);
    NotifyRecorder shell;
    bar.Attach(shell);
    TestWindow owner;
    auto icon = MakeRef<cTrayIcon>();
    icon->Create(owner.hwnd(), nullptr, L"no pager");
    EXPECT_EQ(icon->SysTrayHWnd(), bar.toolbar);
    EXPECT_EQ(IconRect(*icon), (Rect{810, 827, 956, 975}));
    EXPECT_EQ(bar.Tools(), (std::vector<std::string>{"no pager"}));
  });
}

TEST(IconPosition, WithoutToolbarTheDeepestWindowFoundIsTaken) {
  OnTestDesktop([] {
    {
      StandIn bar;
      ASSERT_TRUE(bar.Start(std::wstring(L"notoolbar ") + kSlotA));
      NotifyRecorder shell;
      bar.Attach(shell);
      TestWindow owner;
      auto icon = MakeRef<cTrayIcon>();
      icon->Create(owner.hwnd(), nullptr, L"on the pager");
      EXPECT_EQ(icon->SysTrayHWnd(), bar.pager);
      EXPECT_EQ(IconRect(*icon), (Rect{810, 827, 956, 975}));
    }
    StandIn bar;
    ASSERT_TRUE(bar.Start(L"notoolbar nopager"));
    EXPECT_EQ(mTray::SysTrayHWnd(), bar.notify);
  });
}

TEST(IconPosition, TwoIconsOfOneProcessEachFindTheirOwn) {
  OnTestDesktop([] {
    StandIn bar;
    ASSERT_TRUE(bar.Start(std::wstring(kSlotA) + L" " + kSlotB));
    NotifyRecorder shell;
    bar.Attach(shell);
    TestWindow ownerA, ownerB;
    auto a = MakeRef<cTrayIcon>(), b = MakeRef<cTrayIcon>();
    a->Create(ownerA.hwnd(), nullptr, L"icon A");
    b->Create(ownerB.hwnd(), nullptr, L"icon B");
    EXPECT_EQ(IconRect(*b), (Rect{834, 853, 956, 976}));
    EXPECT_EQ(IconRect(*a), (Rect{810, 827, 956, 975}));
    EXPECT_EQ(IconMiddle(*b), std::make_pair(844L, 966L));
    EXPECT_EQ(IconMiddle(*a), std::make_pair(818L, 966L));
    EXPECT_EQ(bar.Tools(), (std::vector<std::string>{"icon A", "icon B"}));
  });
}

TEST(IconPosition, TrackingReportsTheMiddleOnlyWhenItMoves) {
  OnTestDesktop([] {
    StandIn bar;
    ASSERT_TRUE(bar.Start(kSlotA));
    NotifyRecorder shell;
    bar.Attach(shell);
    TestWindow owner;
    EventLog events;
    auto icon = MakeRef<cTrayIcon>();
    icon->SetEvents(&events);
    icon->IconMovementTrackInterval(30);
    icon->TrackIconMovement(true);
    icon->Create(owner.hwnd(), nullptr, L"tracked");
    ASSERT_TRUE(PumpUntil([&] { return !events.events.empty(); }));
    const size_t searches = TipChanges(shell).size();
    PumpFor(300);  // ten periods without a move
    EXPECT_GT(TipChanges(shell).size(), searches + 4);
    EXPECT_EQ(events.events, (std::vector<std::string>{"moved 818,966"}));
    SendMessageA(bar.tray, kMoveIcons, 30, 0);  // to 840..857
    ASSERT_TRUE(PumpUntil([&] { return events.events.size() == 2; }));
    EXPECT_EQ(events.events.back(), "moved 848,966");
    icon->TrackIconMovement(false);
    icon->SetEvents(nullptr);
  });
}

TEST(IconPosition, AHungTaskbarLeavesThePositionUnknownWithinABound) {
  OnTestDesktop([] {
    // Its tool with the marker would be found, were the taskbar answering.
    StandIn bar;
    ASSERT_TRUE(bar.Start(L"hang \"tool=0,2,17,21," + Marker() + L"\""));
    NotifyRecorder shell;  // Shell_NotifyIcon would wait on the hung taskbar too
    shell.forward = [](DWORD, NOTIFYICONDATAA&) { return TRUE; };
    TestWindow owner;
    auto icon = MakeRef<cTrayIcon>();
    icon->Create(owner.hwnd(), nullptr, L"hung");
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(IconRect(*icon), (Rect{0, 0, 0, 0}));
    EXPECT_LT(GetTickCount64() - start, 2500u);
    EXPECT_EQ(mTray::TrayProcessId(), bar.process.Id());
    EXPECT_EQ(icon->ToolTip(), L"hung");
    bar.process.Kill();
  });
}

TEST(IconPosition, NoNotificationAreaOrNoIconGivesZeros) {
  OnTestDesktop([] {
    // Only Wine's own taskbar here, which has no "TrayNotifyWnd".
    NotifyRecorder shell;
    shell.forward = [](DWORD, NOTIFYICONDATAA&) { return TRUE; };
    TestWindow owner;
    auto icon = MakeRef<cTrayIcon>();
    icon->Create(owner.hwnd(), nullptr, L"nowhere");
    EXPECT_EQ(icon->SysTrayHWnd(), nullptr);
    EXPECT_EQ(IconRect(*icon), (Rect{0, 0, 0, 0}));
    EXPECT_EQ(IconMiddle(*icon), std::make_pair(0L, 0L));
    EXPECT_EQ(TipChanges(shell),
              (std::vector<std::string>{Narrow(Marker()), "nowhere", Narrow(Marker()), "nowhere"}));

    // An icon that does not exist never shows the marker.
    shell.calls.clear();
    auto none = MakeRef<cTrayIcon>();
    EXPECT_EQ(IconRect(*none), (Rect{0, 0, 0, 0}));
    EXPECT_TRUE(shell.calls.empty());
  });
}

TEST(IconPosition, ToolsAreReadInBothSystemFamilies) {
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                             0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(tip, nullptr);
  auto none = mTray::ReadTools(tip, mTray::Family::Nt);
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].info.hwnd, nullptr);

  std::wstring shortText = L"short", longText(60, L'q');
  longText[0] = L'L';
  TTTOOLINFOW a{sizeof a, 0, tip, 7, {1, 2, 3, 4}, nullptr, shortText.data()};
  TTTOOLINFOW b{sizeof b, 0, tip, 8, {5, 6, 7, 8}, nullptr, longText.data()};
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&a));
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&b));
  for (mTray::Family family : {mTray::Family::Nt, mTray::Family::Other}) {
    auto tools = mTray::ReadTools(tip, family);
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].text, L"short");
    EXPECT_EQ(tools[0].info.uId, 7u);
    EXPECT_EQ(tools[0].info.hwnd, tip);
    EXPECT_EQ(tools[1].info.rect.left, 5);
    EXPECT_EQ(tools[1].info.rect.bottom, 8);
    // 80 bytes of text: 40 wide characters, or 79 ANSI ones and their NUL.
    EXPECT_EQ(tools[1].text, longText.substr(0, family == mTray::Family::Nt ? 40 : 79));
  }
  DestroyWindow(tip);
}

}  // namespace
}  // namespace sd::test
