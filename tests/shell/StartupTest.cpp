// The main window after start-up, and the exit question.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "common/WindowText.h"
#include "shell/SingleInstance.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Wait.h"
#include "tests/support/TestProgram.h"

using namespace mf;

namespace {

class StartupTest : public ::testing::Test {
 protected:
  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
};

TEST_F(StartupTest, MainWindowIsAResizable630By535WindowWithoutCaptionWithItsIcon) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  HWND h = form.Hwnd();
  ASSERT_TRUE(IsWindow(h));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(GetText(h), L"Marrowfin");
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(r.bottom - r.top, 535);
  LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_EQ(style & WS_THICKFRAME, WS_THICKFRAME);
  // The frame draws nothing: the movie is the whole window.
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 630);
  EXPECT_EQ(client.bottom, 535);
  auto icon = reinterpret_cast<HICON>(GetClassLongPtrA(h, GCLP_HICON));
  ASSERT_NE(icon, nullptr);
  ICONINFO ii{};
  ASSERT_TRUE(GetIconInfo(icon, &ii));
  BITMAP bm{};
  GetObjectA(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 32);
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(StartupTest, ClassicControlsExistBehindTheMovieWithTheirCaptionsAndTips) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  struct {
    HWND h;
    const wchar_t* caption;
    const char* tip;
  } expected[] = {
      {Controls(form).cmdStartDownload, L"Start Downloading", nullptr},
      {Controls(form).cmdAdd2List, L"Add to download list", nullptr},
      {Controls(form).cmdClear, L"&X", "Clear Completed items"},
      {Controls(form).cmdRemoveSelected, L"X", "Remove Selected Items"},
      {Controls(form).cmdSelectAll, L"&A", "Select All"},
      {Controls(form).cmdUp, L"/|\\", "Move Item Up"},
      {Controls(form).cmdDown, L"\\|/", "Move item down"},
      {Controls(form).chkMonitor,
       L"Monitor video URL's in clipboard and automatically add and download", nullptr},
  };
  for (const auto& e : expected) {
    ASSERT_TRUE(IsWindow(e.h)) << "control " << e.caption;
    EXPECT_EQ(GetParent(e.h), form.Hwnd());
    EXPECT_FALSE(IsWindowVisible(e.h));
    EXPECT_EQ(GetText(e.h), e.caption);
    if (e.tip) {
      char text[80] = {};
      TOOLINFOA ti{};
      ti.cbSize = sizeof ti;
      ti.hwnd = form.Hwnd();
      ti.uId = reinterpret_cast<UINT_PTR>(e.h);
      ti.lpszText = text;
      SendMessageA(Controls(form).ToolTips, TTM_GETTEXTA, sizeof text,
                   reinterpret_cast<LPARAM>(&ti));
      EXPECT_STREQ(text, e.tip);
    }
  }
  for (HWND edit : {Controls(form).txtURL, Controls(form).txtMonitor}) {
    char cls[16] = {};
    GetClassNameA(edit, cls, sizeof cls);
    EXPECT_STREQ(cls, "Edit");
  }
  // The movie covers the whole window.
  RECT r;
  GetWindowRect(Controls(form).Flash.Hwnd(), &r);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(r.bottom - r.top, 535);
}

TEST_F(StartupTest, TimersAreCreatedDisabledWithTheirIntervals) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  EXPECT_FALSE(Controls(form).tmrDownload.Enabled());
  EXPECT_FALSE(Controls(form).tmrend.Enabled());
  EXPECT_FALSE(Controls(form).tmrMonitor.Enabled());
  EXPECT_EQ(Controls(form).tmrDownload.Interval(), 200u);
  EXPECT_EQ(Controls(form).tmrend.Interval(), 200u);
  EXPECT_EQ(Controls(form).tmrMonitor.Interval(), 2000u);
}

TEST_F(StartupTest, MenuFormIsLoadedHiddenAndTheMutexIsHeld) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  ASSERT_TRUE(Controls(form).Menu.IsLoaded());
  EXPECT_FALSE(IsWindowVisible(Controls(form).Menu.Hwnd()));
  EXPECT_EQ(GetText(Controls(form).Menu.Label1()), L"This form is just to hold the tray menu.");
  HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutexName);
  EXPECT_NE(m, nullptr);
  if (m) CloseHandle(m);
  // The process that holds the mutex is not a second instance of itself.
  EXPECT_FALSE(IsPreviousInstanceRunning());
}

TEST_F(StartupTest, ExitDuringADownloadAnsweredNoChangesNothing) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  app.queue.IsDownloading = true;
  platform.messageBoxAnswers = {IDNO};
  form.EndMe();  // returns: the process goes on
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  const auto& box = platform.messageBoxes[0];
  EXPECT_EQ(box.text, L"Download is in Progress, Are you sure that you want to exit?");
  EXPECT_EQ(box.title, L"Marrowfin");
  EXPECT_EQ(box.Buttons(), static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(box.Icon(), static_cast<UINT>(MB_ICONQUESTION));
  EXPECT_FALSE(app.queue.CancelRequested);
  EXPECT_TRUE(app.queue.IsDownloading);
  EXPECT_TRUE(IsWindow(form.Hwnd()));
  EXPECT_TRUE(Controls(form).Menu.IsLoaded());
}

TEST_F(StartupTest, ExitQuestionAnsweredYesRequestsTheCancel) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  platform.messageBoxAnswers = {IDYES};
  EXPECT_TRUE(form.ConfirmExit());
  EXPECT_TRUE(app.queue.CancelRequested);
  platform.messageBoxAnswers = {IDNO};
  app.queue.CancelRequested = false;
  EXPECT_FALSE(form.ConfirmExit());
  EXPECT_FALSE(app.queue.CancelRequested);
}

TEST_F(StartupTest, MovieCommandsReachTheFormThroughThePlayersNotification) {
  mf::test::TestProgram app;
  frmMain& form = app.form;
  ASSERT_TRUE(form.Load());
  Controls(form).Flash.RaiseFSCommand(L"idc_fs_minimize", L"");  // case differs: ignored
  EXPECT_FALSE(IsIconic(form.Hwnd()));
  Controls(form).Flash.RaiseFSCommand(L"IDC_FS_Minimize", L"");
  EXPECT_TRUE(IsIconic(form.Hwnd()));
}

}  // namespace
