// Shows a movie in a 630 x 535 window as the program would, for looking at it
// and taking screenshots (tools/movie_screenshots.sh).
//   movie_preview.exe MOVIE [set:NAME=VALUE | click:X,Y | move:X,Y | press:X,Y | grid:ROWS |
//   quit:SECONDS]...
// Clicks, moves and presses (a button held down) are real mouse messages
// to the player. A list view stands in for the
// program's grid: shown on "IDC_FS_Download", hidden on "IDC_FS_Slider" and
// "IDC_FS_About". Every command is printed.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "common/DoEvents.h"
#include "common/Text.h"
#include "controls/player/MoviePlayer.h"

namespace {

class Preview : public mf::IMoviePlayerEvents {
 public:
  HWND frame = nullptr;
  HWND grid = nullptr;
  mf::MoviePlayer player;

  void FSCommand(const std::wstring& command, const std::wstring&) override {
    std::printf("FSCommand %s\n", mf::ToAnsi(command).c_str());
    std::fflush(stdout);
    if (command == L"IDC_FS_Download") {
      ShowWindow(grid, SW_SHOW);
      SetWindowPos(grid, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else if (command == L"IDC_FS_Slider" || command == L"IDC_FS_About") {
      ShowWindow(grid, SW_HIDE);
    } else if (command == L"IDC_FS_Drag") {
      ReleaseCapture();
      SendMessageA(frame, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    } else if (command == L"IDC_FS_Minimize") {
      ShowWindow(frame, SW_MINIMIZE);
    } else if (command == L"IDC_FS_Close") {
      DestroyWindow(frame);
    } else if (command == L"IDC_FS_startDownload") {
      for (const wchar_t* v : {L"_root.downloadBtn", L"_root.startDownload", L"_root.downloadTab"})
        player.SetVariable(v, L"0");
    } else if (command == L"IDC_FS_stopDownload") {
      for (const wchar_t* v : {L"_root.downloadBtn", L"_root.startDownload", L"_root.downloadTab"})
        player.SetVariable(v, L"1");
    } else if (command == L"ID_FS_autoDownloadCheck" || command == L"ID_FS_autoDownloadUncheck") {
      player.SetVariable(L"_root.autoToDownloadList_CB",
                         command == L"ID_FS_autoDownloadCheck" ? L"1" : L"0");
    }
  }

  void FillGrid(int rows) {
    const char* columns[] = {"Video page", "File name", "Status", "Size"};
    const int widths[] = {220, 170, 100, 80};
    for (int c = 0; c < 4; ++c) {
      LVCOLUMNA col{LVCF_TEXT | LVCF_WIDTH};
      col.pszText = const_cast<char*>(columns[c]);
      col.cx = widths[c];
      SendMessageA(grid, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
    }
    const char* sample[][4] = {
        {"http://www.youtube.com/watch?v=Xk2p9aQ", "Sunset over the bay.flv", "Complete",
         "12.4 MB"},
        {"http://video.google.com/videoplay?docid=81", "Marching band.flv", "47", "8.1 MB"},
        {"http://www.break.com/index/skate-trick.html", "Waiting (Auto Detect)", "Waiting", "????"},
        {"http://www.angryalien.com/0604/bambi.asp", "Waiting (Auto Detect)", "Waiting", "????"}};
    for (int r = 0; r < rows && r < 4; ++r) {
      LVITEMA item{LVIF_TEXT};
      item.iItem = r;
      item.pszText = const_cast<char*>(sample[r][0]);
      SendMessageA(grid, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
      for (int c = 1; c < 4; ++c) {
        item.iSubItem = c;
        item.pszText = const_cast<char*>(sample[r][c]);
        SendMessageA(grid, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
      }
    }
  }
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void CALLBACK CloseOnTimer(HWND frame, UINT, UINT_PTR, DWORD) { DestroyWindow(frame); }

void Click(HWND target, int x, int y) {
  LPARAM at = MAKELPARAM(x, y);
  SendMessageA(target, WM_MOUSEMOVE, 0, at);
  SendMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(target, WM_LBUTTONUP, 0, at);
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  if (argc < 2) {
    std::fprintf(
        stderr,
        "usage: movie_preview MOVIE [set:NAME=VALUE | click:X,Y | grid:ROWS | quit:SECONDS]...\n");
    return 2;
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = "MarrowfinMoviePreview";
  RegisterClassA(&wc);
  Preview p;
  p.frame = CreateWindowExA(0, wc.lpszClassName, "Marrowfin", WS_POPUP | WS_CLIPCHILDREN, 40, 40,
                            630, 535, nullptr, nullptr, wc.hInstance, nullptr);
  p.grid = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHOWSELALWAYS, 21, 177,
                           575, 182, p.frame, nullptr, wc.hInstance, nullptr);
  SendMessageA(p.grid, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  SendMessageA(p.grid, LVM_SETBKCOLOR, 0, RGB(201, 211, 216));
  SendMessageA(p.grid, LVM_SETTEXTBKCOLOR, 0, RGB(201, 211, 216));
  p.player.Create(
      {.parent = p.frame, .left = 0, .top = 0, .width = 630, .height = 535, .events = &p});
  p.player.LoadMovie(0, mf::FromAnsi(argv[1]));
  if (!p.player.IsMovieLoaded())
    std::fprintf(stderr, "movie not loaded: %s\n", mf::ToAnsi(p.player.LoadError()).c_str());
  ShowWindow(p.frame, SW_SHOW);
  mf::DoEvents();
  DWORD quitAfter = 120000;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("set:", 0) == 0 && a.find('=') != std::string::npos) {
      size_t eq = a.find('=');
      std::string value = a.substr(eq + 1);
      for (size_t k; (k = value.find("\\n")) != std::string::npos;) value.replace(k, 2, "\r\n");
      p.player.SetVariable(mf::FromAnsi(a.substr(4, eq - 4)), mf::FromAnsi(value));
    } else if (a.rfind("click:", 0) == 0) {
      int x = 0, y = 0;
      std::sscanf(a.c_str() + 6, "%d,%d", &x, &y);
      Click(p.player.Hwnd(), x, y);
    } else if (a.rfind("move:", 0) == 0) {
      int x = 0, y = 0;
      std::sscanf(a.c_str() + 5, "%d,%d", &x, &y);
      SendMessageA(p.player.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    } else if (a.rfind("press:", 0) == 0) {
      int x = 0, y = 0;
      std::sscanf(a.c_str() + 6, "%d,%d", &x, &y);
      SendMessageA(p.player.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    } else if (a.rfind("grid:", 0) == 0) {
      p.FillGrid(std::atoi(a.c_str() + 5));
    } else if (a.rfind("quit:", 0) == 0) {
      quitAfter = static_cast<DWORD>(std::atoi(a.c_str() + 5)) * 1000;
    }
    mf::DoEvents();
  }
  // A preview never outlives its purpose: it closes itself after a while.
  SetTimer(p.frame, 1, quitAfter, &CloseOnTimer);
  return mf::RunMessageLoop();
}
