// The movie's commands and variables.
#include <windows.h>

#include "shell/frmMain.h"

namespace mf {

void frmMain::Flash_FSCommand(const std::wstring& command, const std::wstring& /*args*/) {
  // Names are compared exactly, case included; unknown names are ignored.
  if (command == L"IDC_FS_Close") {
    EndMe();
  } else if (command == L"IDC_FS_Minimize") {
    ShowWindow(Hwnd(), SW_MINIMIZE);
  } else if (command == L"ID_FS_downloadBrowse") {
    cmdBrowse_Click();
    SaveSettings();  // also when the choice was cancelled
  }
}

}  // namespace mf
