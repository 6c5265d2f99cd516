// The front end on a loaded main window: set-up, the movie's commands driven
// through the player's notification, and the two window hooks.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/AppPath.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/DownloadList.h"
#include "shell/CRegister.h"
#include "shell/Settings.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/TestProgram.h"

using namespace mf;

namespace {

constexpr wchar_t kPage[] = L"http://www.youtube.com/watch?v=abc";

class FrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin");
    ASSERT_TRUE(form.Load());
    platform.shellCalls.clear();  // the watcher's launch at start-up
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tallowmere Marrowfin"); }
  // As the movie sends it when the user acts.
  void Command(const wchar_t* name) { Controls(form).Flash.RaiseFSCommand(name, L""); }
  void Typed(const std::wstring& address) {
    Controls(form).Flash.SetVariable(L"_root.video_url", address);
  }
  static std::wstring Stored(const wchar_t* name) {
    return CRegister().REGGetSetting(HKEY_CURRENT_USER, kSettingsKey, name, L"<missing>");
  }
  bool GridInFrontOfMovie() {
    for (HWND w = GetWindow(form.Hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
      if (w == app.gridView.DownloadGrid.Hwnd()) return true;
      if (w == Controls(form).Flash.Hwnd()) return false;
    }
    return false;
  }

  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  mf::test::TestProgram app;
  frmMain& form = app.form;
};

TEST_F(FrontEndTest, SetUpPlacesMovieAndGridLoadsTheMovieAndWritesTheAboutText) {
  EXPECT_TRUE(Controls(form).Flash.IsMovieLoaded()) << std::string(
      Controls(form).Flash.LoadError().begin(), Controls(form).Flash.LoadError().end());
  EXPECT_EQ(Controls(form).Flash.MoviePath(), ProgramFolder() + L"\\Main.mfm");
  RECT movie;
  GetWindowRect(Controls(form).Flash.Hwnd(), &movie);
  MapWindowPoints(nullptr, form.Hwnd(), reinterpret_cast<POINT*>(&movie), 2);
  EXPECT_EQ(movie.left, 0);
  EXPECT_EQ(movie.top, 0);
  EXPECT_EQ(movie.right, 630);
  EXPECT_EQ(movie.bottom, 535);
  // Twips through the screen's factors: 317 and 2660 twips at 96 dpi.
  RECT grid;
  GetWindowRect(app.gridView.DownloadGrid.Hwnd(), &grid);
  MapWindowPoints(nullptr, form.Hwnd(), reinterpret_cast<POINT*>(&grid), 2);
  EXPECT_EQ(grid.left, MulDiv(317, 96, 1440));
  EXPECT_EQ(grid.top, MulDiv(2660, 96, 1440));
  EXPECT_EQ(grid.right - grid.left, 575);
  EXPECT_EQ(grid.bottom - grid.top, 182);
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.aboutTxt"),
            L"Version 1.0.0.0\r\nMarrowfin is an easy to use program to download video files "
            L"from Google,youtube, and other video sharing sites to your PC.");
  // The movie's own start shows the download page.
  ASSERT_TRUE(test::PumpUntil([&] { return form.CurrentTab == L"Download"; }));
  EXPECT_TRUE(app.gridView.DownloadGrid.Visible());
  EXPECT_TRUE(GridInFrontOfMovie());
}

TEST_F(FrontEndTest, PagesShowAndHideTheGridAndKeepTheLastTab) {
  test::PumpFor(50);
  Command(L"IDC_FS_About");
  EXPECT_EQ(form.CurrentTab, L"About");
  EXPECT_FALSE(app.gridView.DownloadGrid.Visible());
  Command(L"IDC_FS_Download");
  EXPECT_EQ(form.CurrentTab, L"Download");
  EXPECT_TRUE(app.gridView.DownloadGrid.Visible());
  EXPECT_TRUE(GridInFrontOfMovie());
  // The settings panel slides over the grid; the tab stays.
  Command(L"IDC_FS_Slider");
  EXPECT_FALSE(app.gridView.DownloadGrid.Visible());
  EXPECT_EQ(form.CurrentTab, L"Download");
}

TEST_F(FrontEndTest, NamesDifferingOnlyInCaseAndUnknownNamesDoNothing) {
  test::PumpFor(50);
  form.CurrentTab = L"";
  for (const wchar_t* name : {L"idc_fs_about", L"IDC_FS_ABOUT", L"IDC_FS_help", L"id_fs_website",
                              L"IDC_FS_Close ", L"IDC_FS_minimize", L"IDC_FS_Nothing", L""})
    Command(name);
  EXPECT_EQ(form.CurrentTab, L"");
  EXPECT_TRUE(platform.shellCalls.empty());
  EXPECT_TRUE(IsWindowVisible(form.Hwnd()));
  EXPECT_FALSE(IsIconic(form.Hwnd()));
}

TEST_F(FrontEndTest, DownloadPageSetsTheButtonVariableOnlyForAnEmptyList) {
  Controls(form).Flash.SetVariable(L"_root.downloadBtn", L"untouched");
  Command(L"IDC_FS_Download");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.downloadBtn"), L"0");
  ASSERT_TRUE(app.gridView.AddURLToList(kPage));
  Controls(form).Flash.SetVariable(L"_root.downloadBtn", L"untouched");
  Command(L"IDC_FS_Download");
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.downloadBtn"), L"untouched");
}

TEST_F(FrontEndTest, AddingTheTypedAddressTrimsOnlyForTheCheck) {
  for (const wchar_t* blank : {L"", L"   "}) {
    Typed(blank);
    Command(L"IDC_FS_addDownloadURL");
  }
  EXPECT_TRUE(app.list.IsListEmpty());
  EXPECT_TRUE(platform.messageBoxes.empty());

  Typed(L"ftp://example.com/not-a-video");
  Command(L"IDC_FS_addDownloadURL");
  EXPECT_TRUE(app.list.IsListEmpty());
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, L"This is bad or unsupported Video Link");
  EXPECT_EQ(platform.messageBoxes[0].title, L"Marrowfin");
  EXPECT_EQ(platform.messageBoxes[0].Icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(platform.messageBoxes[0].Buttons(), static_cast<UINT>(MB_OK));

  const std::wstring spaced = std::wstring(L"  ") + kPage + L" ";
  Typed(spaced);
  Command(L"IDC_FS_addDownloadURL");
  ASSERT_EQ(app.list.Items().size(), 1u);
  EXPECT_EQ(app.list.Items()[0].Video_URL, spaced);
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.downloadBtn"), L"1");
}

TEST_F(FrontEndTest, AddingDuringARunFindsTheCurrentRowAgainEvenWhenNothingWasAdded) {
  ASSERT_TRUE(app.gridView.AddURLToList(kPage));
  ASSERT_TRUE(app.gridView.AddURLToList(std::wstring(kPage) + L"2"));
  app.queue.IsDownloading = true;
  app.ShowRunning(app.list.At(1)->Key);
  app.gridView.CurrentRow.reset();
  Typed(L"  ");
  Command(L"IDC_FS_addDownloadURL");
  ASSERT_TRUE(app.gridView.CurrentRow.has_value());
  EXPECT_EQ(app.gridView.CurrentRow->Cells(DownloadList::colVideoURL).Text(),
            app.list.Items()[1].Video_URL);
  app.queue.IsDownloading = false;
}

TEST_F(FrontEndTest, ListCommandsReachTheListThroughTheMovie) {
  const std::wstring a = std::wstring(kPage) + L"a", b = std::wstring(kPage) + L"b",
                     c = std::wstring(kPage) + L"c";
  for (const auto& address : {a, b, c}) ASSERT_TRUE(app.gridView.AddURLToList(address));
  auto order = [&] {
    std::vector<std::wstring> urls;
    for (const auto& item : app.list.Items()) urls.push_back(item.Video_URL);
    return urls;
  };
  auto selectOnly = [&](size_t position) {
    app.gridView.DownloadGrid.ClearSelection();
    std::optional<grid::Row> row = app.gridView.DownloadGrid.FirstRow();
    for (size_t i = 0; i < position; ++i) row = row->NextSibling();
    row->Cells(DownloadList::colVideoURL).SetSelected(true);
  };
  selectOnly(1);
  Command(L"IDC_FS_moveUp");
  EXPECT_EQ(order(), (std::vector<std::wstring>{b, a, c}));
  selectOnly(1);
  Command(L"IDC_FS_moveDown");
  EXPECT_EQ(order(), (std::vector<std::wstring>{b, c, a}));
  Command(L"IDC_FS_selectAllD");
  EXPECT_EQ(app.gridView.DownloadGrid.SelectedRows().size(), 3u);

  ASSERT_TRUE(app.list.UpdateItem(1, b, L"b.flv", vocab::kComplete, L"1 KB"));
  ASSERT_TRUE(app.list.FillDownloadList());
  Command(L"ID_FS_clearComplete");
  EXPECT_EQ(order(), (std::vector<std::wstring>{c, a}));
  Command(L"IDC_FS_selectAllD");
  Command(L"IDC_FS_removeSelectedD");
  EXPECT_TRUE(app.list.IsListEmpty());
  EXPECT_EQ(Controls(form).Flash.GetVariable(L"_root.downloadBtn"), L"0");
}

TEST_F(FrontEndTest, HelpAndWebSiteGoThroughTheShellWithTheirVerbs) {
  Command(L"IDC_FS_Help");
  Command(L"ID_FS_webSite");
  ASSERT_EQ(platform.shellCalls.size(), 2u);
  EXPECT_EQ(platform.shellCalls[0].verb, L"open");
  EXPECT_EQ(platform.shellCalls[0].file, ProgramFolder() + L"\\Help.chm");
  EXPECT_EQ(platform.shellCalls[1].verb, L"Open");
  EXPECT_EQ(platform.shellCalls[1].file.rfind(L"http", 0), 0u);
  for (const auto& call : platform.shellCalls) {
    EXPECT_EQ(call.parameters, L"");
    EXPECT_EQ(call.directory, L"");
    EXPECT_EQ(call.show, SW_SHOWNORMAL);
  }
  // The help file the command opens ships beside the program.
  EXPECT_TRUE(FileExists(platform.shellCalls[0].file));
}

TEST_F(FrontEndTest, StartWaitsForTheTimerWhileStopRunsAtOnce) {
  Command(L"IDC_FS_startDownload");
  // Nothing inside the notification: the empty-list message comes from the tick.
  EXPECT_TRUE(platform.messageBoxes.empty());
  ASSERT_TRUE(test::PumpUntil([&] { return !platform.messageBoxes.empty(); }, 2000));
  EXPECT_EQ(platform.messageBoxes[0].text, L"Please add video URL's first.");
  EXPECT_FALSE(Controls(form).tmrDownload.Enabled());  // one-shot
  Command(L"IDC_FS_stopDownload");
  EXPECT_EQ(platform.messageBoxes.size(), 2u);
}

TEST_F(FrontEndTest, SettingsCommandsSaveBothValuesEvenWhenBrowsingIsCancelled) {
  EXPECT_EQ(Stored(L"URL Mon"), L"<missing>");
  Command(L"ID_FS_downloadBrowse");  // the picker answers nothing: cancelled
  EXPECT_EQ(platform.folderPicks.size(), 1u);
  EXPECT_EQ(Stored(L"URL Mon"), L"True");
  EXPECT_EQ(Stored(L"Download Dir"), L"C:\\Downloaded Videos");

  Command(L"ID_FS_autoDownloadUncheck");
  ASSERT_EQ(platform.shellCalls.size(), 1u);
  EXPECT_EQ(platform.shellCalls[0].parameters, L"Exit");
  EXPECT_FALSE(app.monitor.MonitorOn);
  EXPECT_EQ(Stored(L"URL Mon"), L"False");
  Command(L"ID_FS_autoDownloadCheck");
  ASSERT_EQ(platform.shellCalls.size(), 2u);
  EXPECT_EQ(platform.shellCalls[1].file, ProgramFolder() + L"\\Clip.exe");
  EXPECT_EQ(platform.shellCalls[1].parameters,
            std::to_wstring(reinterpret_cast<UINT_PTR>(Controls(form).txtMonitor)));
  EXPECT_TRUE(app.monitor.MonitorOn);
  EXPECT_EQ(Stored(L"URL Mon"), L"True");
}

TEST_F(FrontEndTest, MinimiseAndTrayTakeTheWindowAway) {
  Command(L"IDC_FS_Minimize");
  EXPECT_TRUE(IsIconic(form.Hwnd()));
  ShowWindow(form.Hwnd(), SW_RESTORE);
  Controls(form).SysTray.SetTrayIconVisible(false);
  Command(L"IDC_FS_Tray");
  EXPECT_FALSE(IsWindowVisible(form.Hwnd()));
  EXPECT_TRUE(Controls(form).SysTray.TrayIconVisible());
}

// ---- The hooks

struct Seen {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seenByPlayer;
WNDPROC playerProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  seenByPlayer.push_back({msg, wParam, lParam});
  return CallWindowProcA(playerProc, hwnd, msg, wParam, lParam);
}

TEST_F(FrontEndTest, HooksAreInstalledOnBothWindowsAndStopHookPutsBackThePrevious) {
  HWND movie = Controls(form).Flash.Hwnd();
  ASSERT_EQ(form.FlashWindow(), movie);
  LONG_PTR hookedMovie = GetWindowLongPtrA(movie, GWLP_WNDPROC);
  LONG_PTR hookedMain = GetWindowLongPtrA(form.Hwnd(), GWLP_WNDPROC);
  form.StopHook();
  LONG_PTR ownMovie = GetWindowLongPtrA(movie, GWLP_WNDPROC);
  LONG_PTR ownMain = GetWindowLongPtrA(form.Hwnd(), GWLP_WNDPROC);
  EXPECT_NE(ownMovie, hookedMovie);
  EXPECT_NE(ownMain, hookedMain);
  form.StartHook();
  EXPECT_EQ(GetWindowLongPtrA(movie, GWLP_WNDPROC), hookedMovie);
  EXPECT_EQ(GetWindowLongPtrA(form.Hwnd(), GWLP_WNDPROC), hookedMain);
  form.StopHook();
  EXPECT_EQ(GetWindowLongPtrA(movie, GWLP_WNDPROC), ownMovie);
  EXPECT_EQ(GetWindowLongPtrA(form.Hwnd(), GWLP_WNDPROC), ownMain);
  // Twice is harmless: nothing is kept any more.
  form.StopHook();
  EXPECT_EQ(GetWindowLongPtrA(form.Hwnd(), GWLP_WNDPROC), ownMain);
}

TEST_F(FrontEndTest, RightClickAndTheMenuKeyReachTheMovieAsTheNullMessage) {
  HWND movie = Controls(form).Flash.Hwnd();
  // A recorder stands between the hook and the player.
  form.StopHook();
  playerProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(movie, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
  form.StartHook();
  seenByPlayer.clear();
  const LPARAM at = MAKELPARAM(40, 30);
  SendMessageA(movie, WM_RBUTTONDOWN, MK_RBUTTON, at);
  SendMessageA(movie, WM_KEYDOWN, 0x5D, 0x015D0001);
  SendMessageA(movie, WM_KEYDOWN, 'A', 0x001E0001);
  SendMessageA(movie, WM_RBUTTONUP, 0, at);
  PostMessageA(movie, WM_MOUSEMOVE, 0, at);  // as input arrives
  test::PumpFor(20);
  ASSERT_GE(seenByPlayer.size(), 5u);
  EXPECT_EQ(seenByPlayer[0].msg, static_cast<UINT>(WM_NULL));
  EXPECT_EQ(seenByPlayer[0].wParam, static_cast<WPARAM>(MK_RBUTTON));
  EXPECT_EQ(seenByPlayer[0].lParam, at);
  EXPECT_EQ(seenByPlayer[1].msg, static_cast<UINT>(WM_NULL));
  EXPECT_EQ(seenByPlayer[1].wParam, static_cast<WPARAM>(0x5D));
  EXPECT_EQ(seenByPlayer[2].msg, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(seenByPlayer[2].wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(seenByPlayer[3].msg, static_cast<UINT>(WM_RBUTTONUP));
  bool moveArrived = false;
  for (const Seen& s : seenByPlayer) moveArrived |= s.msg == WM_MOUSEMOVE && s.lParam == at;
  EXPECT_TRUE(moveArrived);
  form.StopHook();
  SetWindowLongPtrA(movie, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(playerProc));
}

TEST_F(FrontEndTest, TheWheelScrollsTheActiveGridOneRowPerMessage) {
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(app.list.AddItem(std::wstring(kPage) + std::to_wstring(i), vocab::kAutoDetect,
                                 vocab::kWaiting, vocab::kUnknownSize));
  ASSERT_TRUE(app.list.FillDownloadList());
  Command(L"IDC_FS_Download");
  SetForegroundWindow(form.Hwnd());
  SetFocus(app.gridView.DownloadGrid.Hwnd());
  ASSERT_EQ(GetFocus(), app.gridView.DownloadGrid.Hwnd());
  ASSERT_TRUE(app.gridView.DownloadGrid.Scroll(0, grid::RowScrollAction::LineDown));
  ASSERT_TRUE(app.gridView.DownloadGrid.Scroll(0, grid::RowScrollAction::LineDown));
  ASSERT_EQ(app.gridView.DownloadGrid.TopRow(), 2u);
  auto wheel = [&](HWND to, short delta) {
    SendMessageA(to, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), MAKELPARAM(100, 300));
  };
  // Away from the user: one row toward the top, whatever the size of the delta.
  wheel(form.Hwnd(), 360);
  EXPECT_EQ(app.gridView.DownloadGrid.TopRow(), 1u);
  wheel(form.Hwnd(), -120);
  EXPECT_EQ(app.gridView.DownloadGrid.TopRow(), 2u);
  // The system gives the wheel to the focused grid, which passes it on.
  wheel(app.gridView.DownloadGrid.Hwnd(), -1);
  EXPECT_EQ(app.gridView.DownloadGrid.TopRow(), 3u);
  wheel(app.gridView.DownloadGrid.Hwnd(), 0);
  EXPECT_EQ(app.gridView.DownloadGrid.TopRow(), 2u);
  // Another control active: the wheel only reaches the previous procedure.
  HWND field = Controls(form).Flash.FieldWindow(L"_root.video_url");
  ASSERT_NE(field, nullptr);
  SetFocus(field);
  ASSERT_EQ(GetFocus(), field);
  wheel(form.Hwnd(), -120);
  wheel(form.Hwnd(), 120);
  EXPECT_EQ(app.gridView.DownloadGrid.TopRow(), 2u);
  form.ScrollUp();
  EXPECT_EQ(app.gridView.DownloadGrid.TopRow(), 2u);
}

}  // namespace
