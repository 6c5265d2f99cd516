; Marrowfin's setup program and its uninstaller. CMake builds it (target
; installer) and passes VERSION (major.minor.revision), FILE_VERSION (the
; four-place file version), ARCH (x64 or i686), BIN (the build's program
; folder), ICON and OUTFILE.

!if "${ARCH}" == "x64"
  ; The 64-bit stub: the program and its library are 64-bit, and so is
  ; RegDLL's process, which must load the library to register it.
  Target amd64-unicode
  !define PROGRAMS "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define PROGRAMS "$PROGRAMFILES"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowfin"
!define WINDOW_CLASS "MarrowfinMain"
!define WATCHER_CLASS "MarrowfinClipWatcher"
!define SINGLE_INSTANCE_MUTEX "tallowmeremarrowfin"

Name "Marrowfin"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
InstallDir "${PROGRAMS}\Marrowfin"
; An upgrade goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "Marrowfin ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Marrowfin"
VIAddVersionKey /LANG=1033 "CompanyName" "Tallowmere"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright Tallowmere"
VIAddVersionKey /LANG=1033 "FileDescription" "Marrowfin setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${FILE_VERSION}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This installs Marrowfin ${VERSION}, the program that downloads video files from video-sharing web sites to your disk.$\r$\n$\r$\nA Marrowfin that is running is closed first.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Marrowfin.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Marrowfin now"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Marrowfin will be removed from the folder below. A Marrowfin that is running is closed first. Your settings, your download list and the videos you downloaded are kept."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Marrowfin is removed"
!define MUI_FINISHPAGE_TEXT "Marrowfin has been removed from your computer.$\r$\n$\r$\nYour settings, your download list and the videos you downloaded are kept. To remove them too, delete your download folder, the folder Tallowmere Marrowfin in your local application data and the registry key HKEY_CURRENT_USER\Software\Tallowmere Marrowfin."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; The installed files, in one list for installing and removing.
!macro FILES op
  !insertmacro ${op} Marrowfin.exe
  !insertmacro ${op} Clip.exe
  !insertmacro ${op} Sabledrift.dll
  !insertmacro ${op} Main.mfm
  !insertmacro ${op} Help.chm
!macroend
!macro INSTALL_FILE name
  File "${BIN}/${name}"
!macroend
!macro REMOVE_FILE name
  Delete "$INSTDIR\${name}"
!macroend

; Closing a running Marrowfin, for the setup program (over an older install)
; and for the uninstaller alike: its files cannot be replaced or removed
; while it runs.
!macro CLOSING_FUNCTIONS un
  ; Closes the first window of class $R0 under parent $R1 (0: the desktop)
  ; and waits up to ten seconds for its process, named $R2 to the user, to end.
  Function ${un}CloseWindowOf
    System::Call 'user32::FindWindowExW(p R1, p 0, w R0, p 0) p .r0'
    ${If} $0 P<> 0
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
      ; SYNCHRONIZE: enough to wait for the end.
      System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
      DetailPrint "Closing the running $R2..."
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
      ${If} $2 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i'
        System::Call 'kernel32::CloseHandle(p r2)'
      ${EndIf}
    ${EndIf}
  FunctionEnd

  ; $0: 1 while Marrowfin or its clipboard watcher still runs. The program
  ; holds its single-instance mutex as long as it lives, shown or not.
  Function ${un}MarrowfinRuns
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${SINGLE_INSTANCE_MUTEX}") p .r1'
    System::Call 'user32::FindWindowExW(p -3, p 0, w "${WATCHER_CLASS}", p 0) p .r2'
    StrCpy $0 0
    ${If} $1 P<> 0
      System::Call 'kernel32::CloseHandle(p r1)'
      StrCpy $0 1
    ${EndIf}
    ${If} $2 P<> 0
      StrCpy $0 1
    ${EndIf}
  FunctionEnd

  ; Waits up to five seconds until the file $R0 can be opened for writing:
  ; a program that is still ending keeps its file busy. Marrowfin's own
  ; shutdown starts "Clip.exe Exit" for a moment, for one.
  Function ${un}WaitUntilFree
    StrCpy $R3 0
    loop:
      IfFileExists "$R0" 0 done
      ClearErrors
      FileOpen $R4 "$R0" a
      IfErrors 0 opened
      IntOp $R3 $R3 + 1
      IntCmp $R3 25 done
      Sleep 200
      Goto loop
    opened:
      FileClose $R4
    done:
  FunctionEnd

  ; Closes Marrowfin's window, then the watcher (closing its message-only
  ; window is what "Clip.exe Exit" does); asks the user to close what is
  ; left. Silent runs give up instead of asking.
  Function ${un}CloseMarrowfin
    retry:
    StrCpy $R0 "${WINDOW_CLASS}"
    StrCpy $R1 0
    StrCpy $R2 "Marrowfin"
    Call ${un}CloseWindowOf
    StrCpy $R0 "${WATCHER_CLASS}"
    StrCpy $R1 -3 ; HWND_MESSAGE
    StrCpy $R2 "clipboard watcher"
    Call ${un}CloseWindowOf
    StrCpy $R0 "$INSTDIR\Clip.exe"
    Call ${un}WaitUntilFree
    StrCpy $R0 "$INSTDIR\Marrowfin.exe"
    Call ${un}WaitUntilFree
    Call ${un}MarrowfinRuns
    ${If} $0 = 0
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Marrowfin is still running. Please close it (the menu of its notification-area icon has Exit), then press Retry." \
      /SD IDCANCEL IDRETRY retry
    ; Silent runs report it in their exit code, as an abort by the script.
    SetErrorLevel 2
    Abort "Marrowfin is still running; nothing was changed."
  FunctionEnd
!macroend
!insertmacro CLOSING_FUNCTIONS ""
!insertmacro CLOSING_FUNCTIONS "un."

Section "Marrowfin"
  SectionIn RO
  Call CloseMarrowfin
  SetOutPath "$INSTDIR"
  !insertmacro FILES INSTALL_FILE
  ClearErrors
  RegDLL "$INSTDIR\Sabledrift.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "Sabledrift.dll could not be registered: Marrowfin will run without its notification-area icon." \
      /SD IDOK
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; For every user of the computer, like the program's folder.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Marrowfin.lnk" "$INSTDIR\Marrowfin.exe" "" \
    "$INSTDIR\Marrowfin.exe" 0 SW_SHOWNORMAL "" "Download video files from video-sharing web sites"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Marrowfin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${FILE_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tallowmere"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Marrowfin.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Call un.CloseMarrowfin
  UnRegDLL "$INSTDIR\Sabledrift.dll"
  !insertmacro FILES REMOVE_FILE
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever the user put there stays.
  RMDir "$INSTDIR"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Marrowfin.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DetailPrint "Your settings, your download list and the videos you downloaded are kept."
SectionEnd
