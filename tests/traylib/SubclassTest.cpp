// The subclassing engine on real windows: its store of window properties, the
// order of clients, the response modes, the errors and the way back to the
// window's own procedure.
#include <gtest/gtest.h>

#include <functional>

#include "tests/traylib/TraySupport.h"
#include "traylib/Error.h"
#include "traylib/RefCounted.h"
#include "traylib/subclass/GSubclass.h"
#include "traylib/subclass/MSubclass.h"
#include "traylib/subclass/Trace.h"

namespace sd::test {
namespace {

constexpr UINT kMsg1 = WM_APP + 1;
constexpr UINT kMsg2 = WM_APP + 2;

class Client : public RefCounted<ISubclass> {
 public:
  Client(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}

  EMsgResponse mode = MsgResponseConsume;
  LRESULT answer = 0;
  int responseQueries = 0;
  UINT currentSeen = 0;
  std::function<void()> during;

  EMsgResponse MsgResponse() override {
    ++responseQueries;
    return mode;
  }
  void MsgResponse(EMsgResponse) override {}
  LRESULT WindowProc(HWND, UINT msg, WPARAM, LPARAM) override {
    currentSeen = MSubclass::CurrentMessage();
    log_.push_back(name_ + " " + std::to_string(msg));
    if (during) during();
    return answer;
  }

 protected:
  ~Client() override { log_.push_back(name_ + " gone"); }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

LONG_PTR Id(const ComPtr<Client>& c) {
  return reinterpret_cast<LONG_PTR>(static_cast<ISubclass*>(c.Get()));
}

std::wstring ExpectedSource() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = path;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  return name.substr(0, name.find_last_of(L'.')) + L".WindowProc";
}

// Runs `attach` and returns the error it raised.
template <typename F>
Error RaisedBy(F&& attach) {
  try {
    attach();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, L"", L"");
}

std::wstring Hex(ULONG_PTR v) {
  wchar_t buf[24];
  swprintf(buf, 24, L"%llX", static_cast<unsigned long long>(v));
  return buf;
}

TEST(Subclass, StoreFollowsEveryAttachAndDetach) {
  std::vector<std::string> log;
  TestWindow w(&log);
  const HWND h = w.hwnd();
  const std::string H = HandleKey(h), M1 = MessageKey(h, kMsg1), M2 = MessageKey(h, kMsg2);
  auto a = MakeRef<Client>("A", log), b = MakeRef<Client>("B", log);

  std::vector<std::wstring> trace;
  trace::SetListener(
      [](void* t, const std::wstring& line) {
        static_cast<std::vector<std::wstring>*>(t)->push_back(line);
      },
      &trace);
  MSubclass::AttachMessage(a.Get(), h, kMsg1);
  trace::SetListener(nullptr, nullptr);
  const std::wstring hh = Hex(reinterpret_cast<ULONG_PTR>(h));
  EXPECT_EQ(trace,
            (std::vector<std::wstring>{
                L"Changed message count for " + hh + L" Message 32769 to 1",
                L"Changed message class for " + hh + L" Message 32769 Index 1 to " + Hex(Id(a)),
                L"Changed Window Proc for " + hh + L" to " + Hex(w.OriginalProc()),
                L"Changed message count for " + hh + L" to 1"}));
  EXPECT_EQ(EngineProps(h),
            (Props{{"C" + H, 1}, {H, w.OriginalProc()}, {M1 + "C", 1}, {M1 + "#1", Id(a)}}));
  const LONG_PTR engineProc = GetWindowLongPtrA(h, GWLP_WNDPROC);
  EXPECT_NE(engineProc, w.OriginalProc());

  // A second message of the same client counts, without installing the procedure again.
  MSubclass::AttachMessage(a.Get(), h, kMsg2);
  MSubclass::AttachMessage(b.Get(), h, kMsg1);
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), engineProc);
  EXPECT_EQ(EngineProps(h), (Props{{"C" + H, 3},
                                   {H, w.OriginalProc()},
                                   {M1 + "C", 2},
                                   {M1 + "#1", Id(a)},
                                   {M1 + "#2", Id(b)},
                                   {M2 + "C", 1},
                                   {M2 + "#1", Id(a)}}));

  // Detaching the first client moves the second down to position 1.
  MSubclass::DetachMessage(a.Get(), h, kMsg1);
  EXPECT_EQ(EngineProps(h), (Props{{"C" + H, 2},
                                   {H, w.OriginalProc()},
                                   {M1 + "C", 1},
                                   {M1 + "#1", Id(b)},
                                   {M2 + "C", 1},
                                   {M2 + "#1", Id(a)}}));
  // A client that is not in the list, twice over, changes nothing.
  MSubclass::DetachMessage(a.Get(), h, kMsg1);
  EXPECT_EQ(EngineProps(h).at("C" + H), 2);

  MSubclass::DetachMessage(b.Get(), h, kMsg1);
  MSubclass::DetachMessage(a.Get(), h, kMsg2);
  EXPECT_TRUE(EngineProps(h).empty());
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), w.OriginalProc());
  EXPECT_EQ(SendMessageA(h, kMsg1, 0, 0), 99);
}

TEST(Subclass, FailedAttachRaisesAndLeavesTheStoreAsItWas) {
  std::vector<std::string> log;
  TestWindow w(&log);
  const HWND h = w.hwnd();
  auto a = MakeRef<Client>("A", log);
  MSubclass::AttachMessage(a.Get(), h, kMsg1);
  const Props before = EngineProps(h);

  Error twice = RaisedBy([&] { MSubclass::AttachMessage(a.Get(), h, kMsg1); });
  EXPECT_EQ(twice.Number(), static_cast<long>(0x80040000u + 13082));
  EXPECT_EQ(twice.Description(), L"Message already handled by another class");
  EXPECT_EQ(twice.Source(), ExpectedSource());
  EXPECT_EQ(twice.Result(), static_cast<HRESULT>(0x8004331Au));
  EXPECT_EQ(EngineProps(h), before);

  Error none = RaisedBy([&] { MSubclass::AttachMessage(nullptr, h, kMsg2); });
  EXPECT_EQ(none.Number(), 5);
  EXPECT_EQ(none.Description(), L"Invalid procedure call or argument");
  EXPECT_EQ(none.Result(), static_cast<HRESULT>(0x800A0005u));
  EXPECT_EQ(EngineProps(h), before);

  TestWindow gone(&log);
  const HWND dead = gone.hwnd();
  gone.Destroy();
  Error invalid = RaisedBy([&] { MSubclass::AttachMessage(a.Get(), dead, kMsg1); });
  EXPECT_EQ(invalid.Number(), static_cast<long>(0x80040000u + 13083));
  EXPECT_EQ(invalid.Description(), L"Invalid window");
  EXPECT_EQ(invalid.Source(), ExpectedSource());
  // Detaching from a destroyed window does nothing.
  MSubclass::DetachMessage(a.Get(), dead, kMsg1);

  MSubclass::DetachMessage(a.Get(), h, kMsg1);
  EXPECT_TRUE(EngineProps(h).empty());
}

TEST(Subclass, WindowOfAnotherProcessIsRefusedAndLeftUntouched) {
  mf::test::ChildProcess helper;
  std::map<std::string, HWND> f;
  ASSERT_TRUE(StartHelper(helper, L"window", f));
  const HWND foreign = f["hwnd"];
  ASSERT_TRUE(IsWindow(foreign));
  std::vector<std::string> log;
  auto a = MakeRef<Client>("A", log);
  GSubclass engine;

  EXPECT_FALSE(engine.IsWindowLocal(foreign));
  EXPECT_TRUE(EngineProps(foreign).empty());
  Error e = RaisedBy([&] { engine.AttachMessage(a.Get(), foreign, kMsg1); });
  EXPECT_EQ(e.Number(), static_cast<long>(0x80040000u + 13084));
  EXPECT_EQ(e.Description(), L"Can't modify external window");
  EXPECT_EQ(e.Source(), ExpectedSource());
  EXPECT_TRUE(EngineProps(foreign).empty());
  engine.DetachMessage(a.Get(), foreign, kMsg1);
  EXPECT_TRUE(EngineProps(foreign).empty());
  // The helper's window still answers as its own procedure does.
  EXPECT_EQ(SendMessageA(foreign, WM_GETTEXTLENGTH, 0, 0), 7);
  SendMessageA(foreign, WM_CLOSE, 0, 0);
  EXPECT_TRUE(helper.WaitExit(10000));
}

struct TwoClients : ::testing::Test {
  std::vector<std::string> log;
  TestWindow w{&log};
  ComPtr<Client> a = MakeRef<Client>("A", log), b = MakeRef<Client>("B", log);
  void SetUp() override {
    MSubclass::AttachMessage(a.Get(), w.hwnd(), kMsg1);
    MSubclass::AttachMessage(b.Get(), w.hwnd(), kMsg1);
    a->answer = 11;
    b->answer = 22;
    b->mode = MsgResponseCallOldAfter;  // never asked: only position 1 decides
  }
  void TearDown() override {
    MSubclass::DetachMessage(a.Get(), w.hwnd(), kMsg1);
    MSubclass::DetachMessage(b.Get(), w.hwnd(), kMsg1);
  }
  LRESULT Send() {
    log.clear();
    return SendMessageA(w.hwnd(), kMsg1, 0, 0);
  }
};

TEST_F(TwoClients, LastAttachedRunsFirstAndConsumeKeepsTheOldProcedureOut) {
  EXPECT_EQ(Send(), 11);
  EXPECT_EQ(log, (std::vector<std::string>{"B 32769", "A 32769"}));
  EXPECT_GT(a->responseQueries, 0);
  EXPECT_EQ(b->responseQueries, 0);
  EXPECT_EQ(a->currentSeen, kMsg1);
  EXPECT_EQ(b->currentSeen, kMsg1);
}

TEST_F(TwoClients, CallOldAfterGivesTheOldResult) {
  a->mode = MsgResponseCallOldAfter;
  EXPECT_EQ(Send(), 99);
  EXPECT_EQ(log, (std::vector<std::string>{"B 32769", "A 32769", "old 32769"}));
  EXPECT_EQ(b->responseQueries, 0);
}

TEST_F(TwoClients, CallOldBeforeRunsItBeforePositionOne) {
  a->mode = MsgResponseCallOldBefore;
  EXPECT_EQ(Send(), 11);
  EXPECT_EQ(log, (std::vector<std::string>{"B 32769", "old 32769", "A 32769"}));
  EXPECT_EQ(b->responseQueries, 0);
}

TEST_F(TwoClients, MessageWithoutClientsGoesStraightToTheOldProcedure) {
  log.clear();
  EXPECT_EQ(SendMessageA(w.hwnd(), kMsg2, 0, 0), 99);
  EXPECT_EQ(log, (std::vector<std::string>{"old 32770"}));
  log.clear();
  EXPECT_EQ(MSubclass::CallOldWindowProc(w.hwnd(), kMsg2, 0, 0), 99);
  EXPECT_EQ(log, (std::vector<std::string>{"old 32770"}));
}

TEST(Subclass, CallOldWindowProcOfAWindowNotSubclassedIsZero) {
  std::vector<std::string> log;
  TestWindow w(&log);
  EXPECT_EQ(MSubclass::CallOldWindowProc(w.hwnd(), kMsg1, 0, 0), 0);
  EXPECT_TRUE(log.empty());
}

TEST(Subclass, DestroyWithoutAClientPutsTheProcedureBackFirst) {
  std::vector<std::string> log;
  TestWindow w(&log);
  const HWND h = w.hwnd();
  auto a = MakeRef<Client>("A", log);
  MSubclass::AttachMessage(a.Get(), h, kMsg1);
  LONG_PTR procAtDestroy = 0;
  Props propsAtDestroy;
  w.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg != WM_DESTROY) return;
    procAtDestroy = GetWindowLongPtrA(h, GWLP_WNDPROC);
    propsAtDestroy = EngineProps(h);
  };
  w.Destroy();
  EXPECT_EQ(procAtDestroy, w.OriginalProc());
  // The count and the saved procedure are gone; client lists go with the window.
  const std::string M1 = MessageKey(h, kMsg1);
  EXPECT_EQ(propsAtDestroy, (Props{{M1 + "C", 1}, {M1 + "#1", Id(a)}}));
  MSubclass::DetachMessage(a.Get(), h, kMsg1);  // after the window: nothing to do
}

TEST(Subclass, AProcedureInstalledOnTopIsNeverCutOut) {
  std::vector<std::string> log;
  TestWindow w(&log);
  const HWND h = w.hwnd();
  auto a = MakeRef<Client>("A", log);
  a->answer = 7;
  MSubclass::AttachMessage(a.Get(), h, kMsg1);
  HostHook hook(h, &log);
  // Each step: what the window's procedure is after it, and what one message meets.
  struct Step {
    std::function<void()> run;
    LRESULT answer;
    std::vector<std::string> path;
  };
  const Step steps[] = {
      // The last detach leaves the engine in the chain, passing through.
      {[&] { MSubclass::DetachMessage(a.Get(), h, kMsg1); }, 99, {"hook 32769", "old 32769"}},
      // Attaching again takes up that place instead of installing on top.
      {[&] { MSubclass::AttachMessage(a.Get(), h, kMsg1); }, 7, {"hook 32769", "A 32769"}},
      {[&] { MSubclass::DetachMessage(a.Get(), h, kMsg1); }, 99, {"hook 32769", "old 32769"}},
      {[&] { MSubclass::AttachMessage(a.Get(), h, kMsg1); }, 7, {"hook 32769", "A 32769"}},
  };
  for (const Step& step : steps) {
    step.run();
    EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), HostHook::Proc());
    log.clear();
    EXPECT_EQ(SendMessageA(h, kMsg1, 0, 0), step.answer);
    EXPECT_EQ(log, step.path);
  }
  // Destroyed with a client and the hook on top: the hook stays to the end.
  LONG_PTR procAtDestroy = 0;
  w.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == WM_DESTROY) procAtDestroy = GetWindowLongPtrA(h, GWLP_WNDPROC);
  };
  log.clear();
  w.Destroy();
  EXPECT_EQ(procAtDestroy, HostHook::Proc());
  EXPECT_EQ(log, (std::vector<std::string>{"hook 130"}));
  MSubclass::DetachMessage(a.Get(), h, kMsg1);
}

TEST(Subclass, ClientLivesUntilItsCallReturns) {
  std::vector<std::string> log;
  TestWindow w(&log);
  auto a = MakeRef<Client>("A", log);
  a->during = [&] {
    MSubclass::DetachMessage(a.Get(), w.hwnd(), kMsg1);
    a.Reset();  // the last reference the test holds
    log.push_back("released");
  };
  MSubclass::AttachMessage(a.Get(), w.hwnd(), kMsg1);
  SendMessageA(w.hwnd(), kMsg1, 0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"A 32769", "released", "A gone"}));
  EXPECT_EQ(GetWindowLongPtrA(w.hwnd(), GWLP_WNDPROC), w.OriginalProc());
}

TEST(Subclass, UnicodeWindowGetsItsOwnProcedureBack) {
  std::vector<std::string> log;
  TestWindow w(&log, true);
  ASSERT_TRUE(IsWindowUnicode(w.hwnd()));
  auto a = MakeRef<Client>("A", log);
  GSubclass engine;
  EXPECT_FALSE(engine.InIDE());
  EXPECT_TRUE(engine.IsWindowLocal(w.hwnd()));
  engine.AttachMessage(a.Get(), w.hwnd(), kMsg1);
  EXPECT_EQ(SendMessageW(w.hwnd(), kMsg1, 0, 0), 0);
  EXPECT_EQ(engine.CurrentMessage(), kMsg1);
  // Text messages still reach the window whole while it is subclassed.
  EXPECT_TRUE(SetWindowTextW(w.hwnd(), L"Gr\u00fc\u00dfe"));
  engine.DetachMessage(a.Get(), w.hwnd(), kMsg1);
  EXPECT_TRUE(IsWindowUnicode(w.hwnd()));
  EXPECT_EQ(GetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC), w.OriginalProc());
  wchar_t text[16] = {};
  GetWindowTextW(w.hwnd(), text, 16);
  EXPECT_STREQ(text, L"Gr\u00fc\u00dfe");
  EXPECT_TRUE(EngineProps(w.hwnd()).empty());
}

}  // namespace
}  // namespace sd::test
