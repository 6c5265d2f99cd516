// The balloon tooltip on real tooltip windows of the common controls: what
// Show makes, the messages the window receives (seen beneath the library's
// own subclass), where it lands, its time-out and the mouse on the balloon.
#include <gtest/gtest.h>

#include "tests/support/Wait.h"
#include "tests/traylib/TraySupport.h"
#include "tests/traylib/tooltip/TooltipWatch.h"
#include "traylib/Error.h"
#include "traylib/subclass/Trace.h"
#include "traylib/tooltip/cToolTipOnDemand.h"

namespace sd::test {
namespace {

using mf::test::PumpFor;
using mf::test::PumpUntil;

constexpr DWORD kStyleBits = TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON;

// The messages the engine's store gave a first (or took the last) client, in order.
class AttachmentTrace {
 public:
  AttachmentTrace() {
    trace::SetListener(
        [](void* self, const std::wstring& line) {
          static_cast<AttachmentTrace*>(self)->lines_.push_back(line);
        },
        this);
  }
  ~AttachmentTrace() { trace::SetListener(nullptr, nullptr); }
  AttachmentTrace(const AttachmentTrace&) = delete;
  AttachmentTrace& operator=(const AttachmentTrace&) = delete;
  // Messages whose client count became `count`.
  std::vector<UINT> CountsTo(int count) const {
    std::vector<UINT> messages;
    const std::wstring ending = L" to " + std::to_wstring(count);
    for (const std::wstring& line : lines_) {
      size_t at = line.find(L" Message ");
      if (line.rfind(L"Changed message count for ", 0) != 0 || at == std::wstring::npos) continue;
      if (line.size() < ending.size() ||
          line.compare(line.size() - ending.size(), ending.size(), ending) != 0)
        continue;
      messages.push_back(static_cast<UINT>(std::stoul(line.substr(at + 9))));
    }
    return messages;
  }

 private:
  std::vector<std::wstring> lines_;
};

std::vector<UINT> MouseMessages() {
  std::vector<UINT> messages;
  for (UINT msg = WM_MOUSEMOVE; msg <= WM_MBUTTONDBLCLK; ++msg) messages.push_back(msg);
  return messages;
}

// SetWindowPos calls from outside the tooltip that made it topmost without
// moving or sizing it (the tooltip makes itself topmost as it shows).
size_t TopmostCalls(const TooltipWatch& watch, HWND tip) {
  size_t n = 0;
  for (const TooltipMessage& m : watch.Of(tip, WM_WINDOWPOSCHANGING)) {
    const UINT still = SWP_NOMOVE | SWP_NOSIZE;
    if (m.depth == 0 && m.pos.hwndInsertAfter == HWND_TOPMOST && (m.pos.flags & still) == still)
      ++n;
  }
  return n;
}

struct ToolTipEventLog : IToolTipEvents {
  std::vector<std::string> events;
  std::function<void(const std::string&)> onEvent;
  void MouseEvents(LONG e) override { Add("mouse " + std::to_string(e)); }
  void BalloonDestroyed() override { Add("destroyed"); }
  void BalloonShowed() override { Add("showed"); }
  void Add(const std::string& e) {
    events.push_back(e);
    if (onEvent) onEvent(e);
  }
  size_t Count(const std::string& e) const { return std::count(events.begin(), events.end(), e); }
};

class ToolTip : public testing::Test {
 protected:
  void SetUp() override { balloon->SetEvents(&log); }
  void TearDown() override {
    balloon->SetEvents(nullptr);
    balloon.Reset();
  }
  // Shows at (x, y) with the given texts and no time-out.
  void ShowAt(LONG x, LONG y, LONG icon = 0, const std::wstring& prompt = L"Prompt text",
              const std::wstring& title = L"", LONG timeout = 0) {
    balloon->x(x);
    balloon->y(y);
    balloon->Show(icon, prompt, title, timeout);
  }
  HWND Tip() const { return balloon->Window(); }
  RECT Rect() const {
    RECT r{};
    GetWindowRect(Tip(), &r);
    return r;
  }
  // Runs `f` and returns the error it raised.
  template <typename F>
  static Error RaisedBy(F&& f) {
    try {
      f();
    } catch (const Error& e) {
      return e;
    }
    ADD_FAILURE() << "no error raised";
    return Error(0, L"", L"");
  }

  TooltipWatch watch;
  ToolTipEventLog log;
  ComPtr<cToolTipOnDemand> balloon = MakeRef<cToolTipOnDemand>();
};

TEST_F(ToolTip, StartsAsABalloonWithTheSystemTooltipBackground) {
  EXPECT_EQ(1, balloon->Style());
  EXPECT_EQ(static_cast<LONG>(GetSysColor(COLOR_INFOBK)), balloon->BackColor());
  EXPECT_EQ(0, balloon->ForeColor());
  EXPECT_EQ(0, balloon->IconType());
  EXPECT_FALSE(balloon->Centered());
  EXPECT_EQ(L"", balloon->Prompt());
  EXPECT_EQ(L"", balloon->Title());
  EXPECT_EQ(0, balloon->x());
  EXPECT_EQ(0, balloon->y());
  EXPECT_EQ(nullptr, balloon->ParentHwnd());
  EXPECT_EQ(nullptr, Tip());
  EXPECT_TRUE(watch.windows.empty()) << "no window before Show";
}

TEST_F(ToolTip, ColoursAreKeptTranslatedAndUntranslatableOnesAsMinusOne) {
  balloon->BackColor(static_cast<LONG>(0x80000005));  // COLOR_WINDOW
  EXPECT_EQ(static_cast<LONG>(GetSysColor(COLOR_WINDOW)), balloon->BackColor());
  balloon->ForeColor(RGB(10, 20, 30));
  EXPECT_EQ(static_cast<LONG>(RGB(10, 20, 30)), balloon->ForeColor());
  balloon->ForeColor(static_cast<LONG>(0x80000099));  // no such system colour
  EXPECT_EQ(-1, balloon->ForeColor());
  balloon->BackColor(0x05000000);  // no such kind of colour
  EXPECT_EQ(-1, balloon->BackColor());
}

TEST_F(ToolTip, ShowMakesATopmostTrackingBalloonWithOneTool) {
  AttachmentTrace attachments;
  ShowAt(150, 200, 1, L"Hello there", L"Heading");
  const HWND tip = Tip();
  EXPECT_EQ(MouseMessages(), attachments.CountsTo(1))
      << "the ten mouse messages, ascending, and no timer";
  ASSERT_TRUE(IsWindow(tip));
  ASSERT_EQ(std::vector<HWND>{tip}, watch.windows);
  char name[64] = {};
  GetClassNameA(tip, name, sizeof name);
  EXPECT_STREQ("tooltips_class32", name);
  EXPECT_EQ(kStyleBits, static_cast<DWORD>(GetWindowLongPtrA(tip, GWL_STYLE)) & 0xFF);
  EXPECT_TRUE(GetWindowLongPtrA(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(1u, TopmostCalls(watch, tip));
  EXPECT_EQ(nullptr, GetWindow(tip, GW_OWNER));
  EXPECT_TRUE(IsWindowVisible(tip));
  EXPECT_EQ(std::vector<std::string>{"showed"}, log.events);

  // The messages of creation, in their order, and the tool record.
  EXPECT_EQ((std::vector<UINT>{TTM_ADDTOOLA, TTM_SETTITLEA, TTM_SETTIPBKCOLOR, TTM_TRACKPOSITION,
                               TTM_TRACKACTIVATE}),
            watch.TooltipMessagesOf(tip));
  const TooltipMessage add = watch.Of(tip, TTM_ADDTOOLA).at(0);
  EXPECT_EQ(TTTOOLINFOA_V2_SIZE, add.tool.cbSize);
  EXPECT_EQ(static_cast<UINT>(TTF_IDISHWND | TTF_TRACK), add.tool.uFlags);
  EXPECT_EQ(nullptr, add.tool.hwnd);
  EXPECT_EQ(0u, add.tool.uId);
  EXPECT_TRUE(IsRectEmpty(&add.tool.rect));
  EXPECT_EQ(GetModuleHandleW(nullptr), add.tool.hinst);
  EXPECT_EQ("Hello there", add.text);
  const TooltipMessage title = watch.Of(tip, TTM_SETTITLEA).at(0);
  EXPECT_EQ(1u, title.wParam);
  EXPECT_EQ("Heading", title.text);
  EXPECT_EQ(static_cast<WPARAM>(GetSysColor(COLOR_INFOBK)),
            watch.Of(tip, TTM_SETTIPBKCOLOR).at(0).wParam);
  EXPECT_EQ(MAKELONG(150, 200), watch.Of(tip, TTM_TRACKPOSITION).at(0).lParam);
  EXPECT_EQ(static_cast<WPARAM>(TRUE), watch.Of(tip, TTM_TRACKACTIVATE).at(0).wParam);

  EXPECT_EQ(1, ToolCount(tip));
  EXPECT_EQ("Hello there", ToolText(tip));
}

TEST_F(ToolTip, StandardStyleCentredToolAndAnOwnerWindow) {
  TestWindow parent;
  SetWindowPos(parent.hwnd(), nullptr, 0, 0, 120, 70, SWP_NOMOVE | SWP_NOZORDER);
  balloon->Style(0);
  balloon->Centered(true);
  balloon->ParentHwnd(parent.hwnd());
  balloon->ForeColor(RGB(200, 0, 0));
  ShowAt(300, 300);
  const HWND tip = Tip();
  ASSERT_TRUE(IsWindow(tip));
  EXPECT_EQ(kStyleBits & ~TTS_BALLOON,
            static_cast<DWORD>(GetWindowLongPtrA(tip, GWL_STYLE)) & 0xFF);
  EXPECT_EQ(parent.hwnd(), GetWindow(tip, GW_OWNER));
  EXPECT_EQ(0u, TopmostCalls(watch, tip)) << "an owned tooltip is not made topmost";
  const TooltipMessage add = watch.Of(tip, TTM_ADDTOOLA).at(0);
  EXPECT_EQ(static_cast<UINT>(TTF_IDISHWND | TTF_TRACK | TTF_CENTERTIP), add.tool.uFlags);
  EXPECT_EQ(parent.hwnd(), add.tool.hwnd);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(parent.hwnd()), add.tool.uId);
  RECT client{};
  GetClientRect(parent.hwnd(), &client);
  EXPECT_TRUE(EqualRect(&client, &add.tool.rect));
  EXPECT_EQ(static_cast<LRESULT>(RGB(200, 0, 0)), SendMessageA(tip, TTM_GETTIPTEXTCOLOR, 0, 0));
  // Centred: the middle of the tooltip is on x.
  RECT r = Rect();
  EXPECT_NEAR(300, (r.left + r.right) / 2, 2);
  balloon->Destroy();
}

TEST_F(ToolTip, TitleMessageOnlyWhereItIsWanted) {
  // No icon and no title: no title line at all.
  ShowAt(100, 100);
  EXPECT_TRUE(watch.Of(Tip(), TTM_SETTITLEA).empty());
  // Shown with icon 0, a title changes nothing on screen.
  balloon->Title(L"Later title");
  EXPECT_TRUE(watch.Of(Tip(), TTM_SETTITLEA).empty());
  // An icon with the stored title makes the title line now.
  balloon->IconType(2);
  ASSERT_EQ(1u, watch.Of(Tip(), TTM_SETTITLEA).size());
  EXPECT_EQ(2u, watch.Of(Tip(), TTM_SETTITLEA)[0].wParam);
  EXPECT_EQ("Later title", watch.Of(Tip(), TTM_SETTITLEA)[0].text);

  // At creation an icon alone is enough.
  balloon->Title(L"");
  balloon->Show(3, L"", L"", 0);
  ASSERT_EQ(1u, watch.Of(Tip(), TTM_SETTITLEA).size());
  EXPECT_EQ(3u, watch.Of(Tip(), TTM_SETTITLEA)[0].wParam);
  EXPECT_EQ("", watch.Of(Tip(), TTM_SETTITLEA)[0].text);
  // Shown with an empty title, a new icon type sends nothing.
  balloon->IconType(1);
  EXPECT_EQ(1u, watch.Of(Tip(), TTM_SETTITLEA).size());
  // And at creation a title alone is enough.
  balloon->Show(0, L"", L"Only a title", 0);
  ASSERT_EQ(1u, watch.Of(Tip(), TTM_SETTITLEA).size());
  EXPECT_EQ(0u, watch.Of(Tip(), TTM_SETTITLEA)[0].wParam);
  EXPECT_EQ("Only a title", watch.Of(Tip(), TTM_SETTITLEA)[0].text);
}

TEST_F(ToolTip, EmptyTextsKeepTheStoredOnesAndAPromptChangeReachesTheTool) {
  ShowAt(120, 140, 1, L"First prompt", L"First title");
  balloon->Show(0, L"", L"", 0);
  EXPECT_EQ(L"First prompt", balloon->Prompt());
  EXPECT_EQ(L"First title", balloon->Title());
  EXPECT_EQ(0, balloon->IconType());
  EXPECT_EQ("First prompt", ToolText(Tip()));

  balloon->Prompt(L"Second prompt");
  ASSERT_EQ(1u, watch.Of(Tip(), TTM_UPDATETIPTEXTA).size());
  EXPECT_EQ("Second prompt", watch.Of(Tip(), TTM_UPDATETIPTEXTA)[0].text);
  EXPECT_EQ("Second prompt", ToolText(Tip()));
}

TEST_F(ToolTip, ColourChangesReachAShownBalloonAndStyleOwnerAndCentringWait) {
  ShowAt(200, 220);
  const HWND tip = Tip();
  balloon->ForeColor(static_cast<LONG>(0x80000008));  // COLOR_WINDOWTEXT
  balloon->BackColor(RGB(1, 2, 3));
  EXPECT_EQ(static_cast<LRESULT>(GetSysColor(COLOR_WINDOWTEXT)),
            SendMessageA(tip, TTM_GETTIPTEXTCOLOR, 0, 0));
  EXPECT_EQ(static_cast<LRESULT>(RGB(1, 2, 3)), SendMessageA(tip, TTM_GETTIPBKCOLOR, 0, 0));

  watch.Clear();
  TestWindow parent;
  balloon->Style(0);
  balloon->Centered(true);
  balloon->ParentHwnd(parent.hwnd());
  EXPECT_TRUE(watch.TooltipMessagesOf(tip).empty());
  EXPECT_EQ(kStyleBits, static_cast<DWORD>(GetWindowLongPtrA(tip, GWL_STYLE)) & 0xFF);
  EXPECT_EQ(nullptr, GetWindow(tip, GW_OWNER));
  // The next Show takes them.
  balloon->Show(0, L"", L"", 0);
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ(kStyleBits & ~TTS_BALLOON,
            static_cast<DWORD>(GetWindowLongPtrA(Tip(), GWL_STYLE)) & 0xFF);
  EXPECT_EQ(parent.hwnd(), GetWindow(Tip(), GW_OWNER));
  balloon->Destroy();
}

TEST_F(ToolTip, TheBalloonLandsWhereAskedAndMovesWithXAndY) {
  ShowAt(200, 300);
  RECT first = Rect();
  // The balloon's stem points at the position: it starts just beside it, below it.
  EXPECT_LE(first.left, 200);
  EXPECT_GT(first.right, 200);
  EXPECT_NEAR(300, first.top, 2);
  balloon->x(330);
  RECT moved = Rect();
  EXPECT_EQ(first.left + 130, moved.left);
  EXPECT_EQ(first.top, moved.top);
  balloon->y(420);
  moved = Rect();
  EXPECT_EQ(first.left + 130, moved.left);
  EXPECT_EQ(first.top + 120, moved.top);
  auto positions = watch.Of(Tip(), TTM_TRACKPOSITION);
  ASSERT_EQ(3u, positions.size());
  EXPECT_EQ(MAKELONG(330, 420), positions[2].lParam);
}

TEST_F(ToolTip, ANegativeXKeepsItsY) {
  ShowAt(-10, 100);
  const LPARAM sent = watch.Of(Tip(), TTM_TRACKPOSITION).at(0).lParam;
  EXPECT_EQ(-10, static_cast<SHORT>(LOWORD(sent)));
  EXPECT_EQ(100, static_cast<SHORT>(HIWORD(sent)));
}

TEST_F(ToolTip, APositionOutOfRangeRaisesTheOverflowError) {
  // Without a window the setter only stores; Show then refuses it.
  balloon->y(40000);
  EXPECT_EQ(40000, balloon->y());
  Error error = RaisedBy([&] { balloon->Show(0, L"Never shown", L"", 0); });
  EXPECT_EQ(kErrOverflow, error.Number());
  EXPECT_EQ(L"Overflow", error.Description());
  EXPECT_EQ(L"Quenbrook", error.Source());
  EXPECT_EQ(nullptr, Tip());
  EXPECT_TRUE(watch.windows.empty()) << "no window is made for a position out of range";
  EXPECT_TRUE(log.events.empty());

  // From the setter of a shown balloon, which stays where it was.
  ShowAt(100, 100);
  RECT before = Rect();
  error = RaisedBy([&] { balloon->y(40000); });
  EXPECT_EQ(kErrOverflow, error.Number());
  RECT after = Rect();
  EXPECT_TRUE(EqualRect(&before, &after));
  // y at its limits, with an x that carries the sum out of the 32-bit range.
  balloon->y(32767);
  RaisedBy([&] { balloon->x(65536); });
  balloon->y(-32768);
  RaisedBy([&] { balloon->x(-1); });
  balloon->x(0);
  EXPECT_EQ(MAKELONG(0, -32768), watch.Of(Tip(), TTM_TRACKPOSITION).back().lParam);
}

TEST_F(ToolTip, ATimeOutClosesItAndLeavesNoColours) {
  balloon->ForeColor(RGB(0, 0, 255));
  AttachmentTrace attachments;
  ShowAt(100, 400, 0, L"Goes by itself", L"", 150);
  const HWND tip = Tip();
  ASSERT_TRUE(IsWindow(tip));
  std::vector<UINT> attached = MouseMessages();
  attached.push_back(WM_TIMER);
  EXPECT_EQ(attached, attachments.CountsTo(1));
  ASSERT_TRUE(PumpUntil([&] { return log.Count("destroyed") == 1; }, 5000));
  std::vector<UINT> detached = MouseMessages();
  detached.insert(detached.begin(), WM_TIMER);
  EXPECT_EQ(detached, attachments.CountsTo(0))
      << "the timer first, then the mouse messages ascending";
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ(nullptr, Tip());
  EXPECT_EQ(0, balloon->ForeColor());
  EXPECT_EQ(0, balloon->BackColor());
  EXPECT_EQ((std::vector<std::string>{"showed", "destroyed"}), log.events);
  // The timer went with the window: the tooltip's procedure never saw it.
  EXPECT_TRUE(watch.Of(tip, WM_TIMER).empty());

  // A later Show uses the window's own colours.
  balloon->Show(0, L"", L"", 0);
  EXPECT_TRUE(watch.Of(Tip(), TTM_SETTIPTEXTCOLOR).empty());
  EXPECT_TRUE(watch.Of(Tip(), TTM_SETTIPBKCOLOR).empty());
}

TEST_F(ToolTip, ATimeOutOfZeroKeepsItUntilDestroy) {
  ShowAt(100, 400, 0, L"Stays", L"", 0);
  const HWND tip = Tip();
  PumpFor(400);
  EXPECT_TRUE(IsWindow(tip));
  EXPECT_TRUE(IsWindowVisible(tip));
  balloon->Destroy();
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ((std::vector<std::string>{"showed", "destroyed"}), log.events);
  balloon->Destroy();
  EXPECT_EQ(1u, log.Count("destroyed")) << "no window, no event";
  EXPECT_EQ(static_cast<LONG>(GetSysColor(COLOR_INFOBK)), balloon->BackColor())
      << "only a time-out clears colours";
}

TEST_F(ToolTip, ClicksOnTheBalloonAreEventsAndNeverReachTheTooltip) {
  ShowAt(100, 500);
  const HWND tip = Tip();
  PostMessageA(tip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageA(tip, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  PostMessageA(tip, WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(5, 5));
  ASSERT_TRUE(PumpUntil([&] { return log.Count("mouse 518") == 1; }));
  EXPECT_EQ(1u, log.Count("mouse 513"));
  EXPECT_EQ(1u, log.Count("mouse 514"));
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDBLCLK})
    EXPECT_TRUE(watch.Of(tip, msg).empty()) << msg;
  // Other messages still reach it.
  EXPECT_EQ("Prompt text", ToolText(tip));
  // Another timer of the window is the tooltip's own: it passes, and the balloon stays.
  PostMessageA(tip, WM_TIMER, 77, 0);
  ASSERT_TRUE(PumpUntil([&] { return !watch.Of(tip, WM_TIMER).empty(); }));
  EXPECT_TRUE(IsWindow(tip));

  // After Destroy the window is gone with the attachments.
  balloon->Destroy();
  EXPECT_FALSE(IsWindow(tip));
}

TEST_F(ToolTip, AHostMayDestroyFromInsideAMouseEvent) {
  ShowAt(100, 500, 0, L"Click me", L"", 5000);
  const HWND tip = Tip();
  log.onEvent = [&](const std::string& e) {
    if (e == "mouse 513") balloon->Destroy();
  };
  PostMessageA(tip, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("destroyed") == 1; }));
  EXPECT_FALSE(IsWindow(tip));
  PumpFor(50);
}

TEST_F(ToolTip, ShowAgainReplacesTheWindowAndReleasingTheObjectClosesIt) {
  ShowAt(100, 100);
  const HWND first = Tip();
  balloon->Show(0, L"Second", L"", 0);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(Tip()));
  EXPECT_EQ((std::vector<std::string>{"showed", "destroyed", "showed"}), log.events);
  const HWND second = Tip();
  balloon.Reset();
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(2u, log.Count("destroyed"));
  balloon = MakeRef<cToolTipOnDemand>();
}

TEST_F(ToolTip, AWindowThatCannotBeMadeRaisesTheSystemError) {
  TestWindow gone;
  const HWND dead = gone.hwnd();
  gone.Destroy();
  balloon->ParentHwnd(dead);
  Error error = RaisedBy([&] { balloon->Show(1, L"No window", L"", 100); });
  EXPECT_EQ(static_cast<long>(ERROR_INVALID_WINDOW_HANDLE), error.Number());
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_INVALID_WINDOW_HANDLE, 0, text, 255,
                 nullptr);
  std::wstring expected(text, text + strlen(text));
  while (!expected.empty() && iswspace(expected.back())) expected.pop_back();
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(expected, error.Description());
  EXPECT_EQ(L"Quenbrook", error.Source());
  EXPECT_EQ(nullptr, Tip());
  EXPECT_TRUE(log.events.empty());
}

}  // namespace
}  // namespace sd::test
