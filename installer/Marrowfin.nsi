; Marrowfin's setup program and its uninstaller. CMake builds it (target
; installer) and passes VERSION (major.minor.revision), FILE_VERSION (the
; four-place file version), ARCH (x64 or i686), BIN (the build's program
; folder), ICON and OUTFILE.
;
; Two kinds of install: for the current user only (no administrator rights;
; the user's programs folder, Start menu and Apps and features, Sabledrift
; registered for the user) and for everyone (Program Files, HKEY_LOCAL_MACHINE).
; /CurrentUser or /AllUsers chooses; a silent run without either installs for
; everyone, as setup programs before the choice did.

!if "${ARCH}" == "x64"
  ; The 64-bit stub: the program and its library are 64-bit, and so is
  ; RegDLL's process, which must load the library to register it.
  Target amd64-unicode
  !define PROGRAMS "$PROGRAMFILES64"
  ; SHELLEXECUTEINFOW aligns its handles after its two lone 32-bit members;
  ; System's structures are packed.
  !define PAD "i, "
!else
  Target x86-unicode
  !define PROGRAMS "$PROGRAMFILES"
  !define PAD ""
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowfin"
!define WINDOW_CLASS "MarrowfinMain"
!define WATCHER_CLASS "MarrowfinClipWatcher"
!define SINGLE_INSTANCE_MUTEX "tallowmeremarrowfin"

Name "Marrowfin"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
; Only an install for everyone needs administrator rights: it asks Windows
; for them then (RunElevated). The folder follows the kind (UseKind).
RequestExecutionLevel user
ManifestDPIAware true
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
!include nsDialogs.nsh

Var Kind       ; "user" (for me only) or "all" (for everyone)
Var KindGiven  ; 1 when /CurrentUser or /AllUsers chose the kind
Var DirGiven   ; the folder /D= named, if any
Var Admin      ; 1 when this process has administrator rights
Var ForMe      ; the kind page's "Install for me only" button

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This installs Marrowfin ${VERSION}, the program that downloads video files from video-sharing web sites to your disk.$\r$\n$\r$\nA Marrowfin that is running is closed first.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
Page custom KindPage KindPageLeave
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

; Administrator rights, for the setup program and the uninstaller alike.
!macro RIGHTS_FUNCTIONS un
  ; $Admin: 1 when this process has administrator rights (an administrator's
  ; process that Windows did not elevate has not).
  Function ${un}CheckRights
    UserInfo::GetAccountType
    Pop $0
    StrCpy $Admin 0
    ${IfThen} $0 == "Admin" ${|} StrCpy $Admin 1 ${|}
  FunctionEnd

  ; Runs this program again with administrator rights (Windows asks the user
  ; for them) and the parameters $R0, and waits for it. $0: its exit code, or
  ; "error" when it did not start, as when the user refused.
  Function ${un}RunElevated
    StrCpy $0 error
    ; SHELLEXECUTEINFOW; SEE_MASK_NOCLOSEPROCESS (0x40) returns hProcess.
    System::Call '*(&l4, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w R0, p 0, \
      i ${SW_SHOWNORMAL}, ${PAD}p, p, p, p, i, ${PAD}p, p) p .r1'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2'
    ${If} $2 <> 0
      System::Call '*$1(i, i, p, p, p, p, p, i, ${PAD}p, p, p, p, i, ${PAD}p, p .r3)'
      System::Call 'kernel32::WaitForSingleObject(p r3, i -1) i'
      System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r0) i'
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
    System::Free $1
  FunctionEnd
!macroend
!insertmacro RIGHTS_FUNCTIONS ""
!insertmacro RIGHTS_FUNCTIONS "un."

; Sets the shell context (the Start menu and SHCTX, the root of the uninstall
; entry) for $Kind and, unless /D= named one, its folder: where this kind was
; installed last, else its default.
Function UseKind
  ${If} $Kind == user
    SetShellVarContext current
    StrCpy $0 "$LOCALAPPDATA\Programs\Marrowfin"
  ${Else}
    SetShellVarContext all
    StrCpy $0 "${PROGRAMS}\Marrowfin"
  ${EndIf}
  ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${IfThen} $1 != "" ${|} StrCpy $0 $1 ${|}
  ${IfThen} $DirGiven == "" ${|} StrCpy $INSTDIR $0 ${|}
FunctionEnd

Function .onInit
  StrCpy $DirGiven $INSTDIR
  Call CheckRights
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    StrCpy $Kind user
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    ${If} $Kind == user
      MessageBox MB_OK|MB_ICONSTOP "Choose one of /CurrentUser and /AllUsers." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    StrCpy $Kind all
  ${EndIf}
  ${If} $Kind != ""
    StrCpy $KindGiven 1
  ${ElseIf} ${Silent}
    StrCpy $Kind all
  ${Else}
    ; The page proposes the kind already installed, else what the rights allow.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $Kind user
    ${If} $0 == ""
      ${If} $1 != ""
      ${OrIf} $Admin = 1
        StrCpy $Kind all
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Call UseKind
FunctionEnd

Function KindPage
  ${IfThen} $KindGiven == 1 ${|} Abort ${|}
  !insertmacro MUI_HEADER_TEXT "Choose who uses Marrowfin" \
    "Marrowfin can be installed for you alone or for every user of this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "Install for me only"
  Pop $ForMe
  ${NSD_CreateLabel} 12u 13u -12u 20u "Needs no administrator rights. Marrowfin goes into your own programs folder, and only you can start it."
  Pop $0
  ${NSD_CreateRadioButton} 0 44u 100% 12u "Install for everyone"
  Pop $1
  ${NSD_CreateLabel} 12u 57u -12u 20u "Needs administrator rights. Marrowfin goes into Program Files, and every user of this computer can start it."
  Pop $0
  ${If} $Kind == user
    ${NSD_Check} $ForMe
  ${Else}
    ${NSD_Check} $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function KindPageLeave
  ${NSD_GetState} $ForMe $0
  StrCpy $Kind all
  ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $Kind user ${|}
  Call UseKind
FunctionEnd

; For everyone without administrator rights: a second setup program, which
; Windows starts with them, installs silently into the folder chosen here.
Function InstallWithRights
  DetailPrint "Installing for everyone, with administrator rights..."
  StrCpy $R0 "/S /AllUsers /D=$INSTDIR"
  Call RunElevated
  ${If} $0 == error
    SetErrorLevel 2
    Abort "Marrowfin was not installed: installing for everyone needs administrator rights. Install for me only needs none."
  ${ElseIf} $0 <> 0
    SetErrorLevel $0
    Abort "Marrowfin could not be installed for everyone."
  ${EndIf}
FunctionEnd

Section "Marrowfin"
  SectionIn RO
  Call CloseMarrowfin
  ${If} $Kind == all
  ${AndIf} $Admin <> 1
    Call InstallWithRights
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  !insertmacro FILES INSTALL_FILE
  ClearErrors
  ${If} $Kind == user
    ; DllInstall("user"), the way the read-me registers it by hand.
    StrCpy $0 error
    ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$INSTDIR\Sabledrift.dll"' $0
    ${IfThen} $0 != 0 ${|} SetErrors ${|}
  ${Else}
    RegDLL "$INSTDIR\Sabledrift.dll"
  ${EndIf}
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "Sabledrift.dll could not be registered: Marrowfin will run without its notification-area icon." \
      /SD IDOK
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; For whom the kind serves, like the program's folder (UseKind).
  CreateShortcut "$SMPROGRAMS\Marrowfin.lnk" "$INSTDIR\Marrowfin.exe" "" \
    "$INSTDIR\Marrowfin.exe" 0 SW_SHOWNORMAL "" "Download video files from video-sharing web sites"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Marrowfin"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${FILE_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Tallowmere"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Marrowfin.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The uninstaller removes what its own kind installed: it was installed for
; the current user when that user's entry names this folder, else for everyone.
Function un.onInit
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $Kind user
    SetShellVarContext current
    Return
  ${EndIf}
  StrCpy $Kind all
  SetShellVarContext all
  Call un.CheckRights
  ${If} $Admin <> 1
    ; Without _?=, which $CMDLINE no longer holds, the copy would copy itself again.
    ${GetParameters} $R0
    StrCpy $R0 "$R0 _?=$INSTDIR"
    Call un.RunElevated
    ${If} $0 == error
      MessageBox MB_OK|MB_ICONSTOP "Marrowfin was installed for everyone: removing it needs administrator rights." /SD IDOK
      StrCpy $0 2
    ${EndIf}
    SetErrorLevel $0
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseMarrowfin
  ${If} $Kind == user
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$INSTDIR\Sabledrift.dll"'
  ${Else}
    UnRegDLL "$INSTDIR\Sabledrift.dll"
  ${EndIf}
  !insertmacro FILES REMOVE_FILE
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever the user put there stays.
  RMDir "$INSTDIR"
  ; Where this kind put them (un.onInit set the context).
  Delete "$SMPROGRAMS\Marrowfin.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DetailPrint "Your settings, your download list and the videos you downloaded are kept."
SectionEnd
