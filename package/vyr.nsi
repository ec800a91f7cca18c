; Vyr's installer. Its first page chooses "Only for me" (the default): per user, without
; administrator rights, into %LOCALAPPDATA%\Programs\Vyr, with a Start-menu shortcut, an optional
; shortcut in the Startup folder and an uninstaller registered for the user. Or "For all users": into
; %ProgramFiles%\Vyr with the common Start menu and Startup folder and an uninstaller registered for
; the machine; there a box, off by default, starts Vyr elevated at the installing user's sign-in
; through a Task Scheduler task "Vyr", in place of the Startup shortcut, so that it works over
; windows of programs run as administrator. English or Japanese after the user's locale, as Vyr
; itself chooses; /S installs silently.
;
; makensis -DVERSION=1.4.0 -DSTAGE=<folder with the shipped files> -DICON=<vyr.ico>
;          -DOUTFILE=<setup.exe> vyr.nsi
;
; Command-line options besides /S and /D=<folder> (the per-user install's folder): /NOSTARTUP (no
; shortcut in the Startup folder), /ALLUSERS (for all users), /ELEVATEDSTART (with /ALLUSERS only:
; the elevated start at sign-in). The uninstaller takes /S and /REMOVESETTINGS (Vyr.ini goes too).
;
; Vyr keeps Vyr.ini in its current directory, so the shortcuts start it in a folder the user can
; write: the install folder for one user; for all users, each user's own %LOCALAPPDATA%\Vyr, made
; for the installing user by the installer and for every other user at their next sign-in (Active
; Setup). The installer never touches Vyr.ini; the uninstaller removes it only when asked.
;
; The elevated start must never run a file that the user can replace: any program of the user's
; could otherwise swap it and gain administrator rights at the next sign-in. So it is offered only
; for an install into Program Files, which only administrators can write, and its task names that
; folder's Vyr.exe by its full path, written out (no environment variable, which the user sets). Its
; definition is written to that folder too, not to the user's temporary folder, and kept there: what
; was registered, for anyone to read.

!ifndef VERSION | STAGE | ICON | OUTFILE
  !error "VERSION, STAGE, ICON and OUTFILE must be defined"
!endif

Unicode true
; A 64-bit installer: Vyr ships for 64-bit Windows (its companion is 64-bit code), and the running
; Vyr's keyboard hook library, a 32-bit DLL, is never loaded into this process.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
; The per-user install needs no administrator rights; the install for all users asks for them when
; it is chosen, by starting the installer again as administrator.
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include WordFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "Vyr"
!define PUBLISHER "Sorbane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vyr"
!define UNINSTALLER "Uninstall.exe"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\Vyr"
!searchreplace ACTIVE_SETUP_VERSION "${VERSION}" "." ","
!define TASK_NAME "Vyr"
!define TASK_DEFINITION "VyrTask.xml"
; The elevated start waits this long after sign-in: a Vyr that comes before the taskbar would find no
; notification area for its icon.
!define TASK_DELAY "PT15S"
!define SWITCHER_CLASS "Vyr"
!define START_MENU_LINK "$SMPROGRAMS\Vyr.lnk"
!define STARTUP_LINK "$SMSTARTUP\Vyr.lnk"
; A running Vyr has this long to answer WM_DESTROY and this long to end after it.
!define END_REQUEST_TIMEOUT_MS 5000
!define END_WAIT_MS 10000
; Instances to end at most: more than one can run only when a start could not end its predecessor.
!define END_ATTEMPTS 4
; SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION
!define PROCESS_RIGHTS 0x00101001
!define KILLED_EXIT_CODE 1
!define WAIT_OBJECT_0 0
!define LANGUAGE_JAPANESE_PRIMARY 0x11
!define FAILED_EXIT_CODE 2
!define TOKEN_QUERY 8
!define TOKEN_ELEVATION_CLASS 20
!define SEE_MASK_NOCLOSEPROCESS 0x40
; SHELLEXECUTEINFOW of 64-bit code: 112 bytes, with the padding after nShow and dwHotKey.
!define SHELL_EXECUTE_INFO_SIZE 112
!define NAME_SAM_COMPATIBLE 2

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vyr"
; An earlier installation is updated where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION startInstalledVyr

Page custom showUsersPage leaveUsersPage
!insertmacro MUI_PAGE_COMPONENTS
; The install for all users goes to Program Files, always: see above.
!define MUI_PAGE_CUSTOMFUNCTION_PRE skipForAllUsers
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString ProgramSection ${LANG_ENGLISH} "Vyr"
LangString ProgramSection ${LANG_JAPANESE} "Vyr"
LangString StartupSection ${LANG_ENGLISH} "Start Vyr when I sign in"
LangString StartupSection ${LANG_JAPANESE} "サインイン時に Vyr を起動する"
LangString SettingsSection ${LANG_ENGLISH} "Also remove my settings (Vyr.ini)"
LangString SettingsSection ${LANG_JAPANESE} "設定 (Vyr.ini) も削除する"
LangString StartNow ${LANG_ENGLISH} "Start Vyr now"
LangString StartNow ${LANG_JAPANESE} "Vyr を今すぐ起動する"
LangString EndingVyr ${LANG_ENGLISH} "Closing the running Vyr..."
LangString EndingVyr ${LANG_JAPANESE} "実行中の Vyr を終了しています..."
LangString VyrStillRuns ${LANG_ENGLISH} "Vyr is still running and does not close. Close it from its icon in the notification area, then choose Retry."
LangString VyrStillRuns ${LANG_JAPANESE} "Vyr が実行中で、終了しません。通知領域のアイコンから Vyr を終了してから、[再試行] を選んでください。"
LangString FileInUse ${LANG_ENGLISH} "A file of the earlier version is in use and was set aside: "
LangString FileInUse ${LANG_JAPANESE} "以前のバージョンのファイルが使用中のため、別名で残しました: "
LangString UsersTitle ${LANG_ENGLISH} "Choose Users"
LangString UsersTitle ${LANG_JAPANESE} "ユーザーの選択"
LangString UsersSubtitle ${LANG_ENGLISH} "Choose for whom to install Vyr."
LangString UsersSubtitle ${LANG_JAPANESE} "Vyr をインストールする対象を選んでください。"
LangString OnlyForMe ${LANG_ENGLISH} "Only for me"
LangString OnlyForMe ${LANG_JAPANESE} "自分のみ"
LangString ForAllUsers ${LANG_ENGLISH} "For all users (needs administrator rights)"
LangString ForAllUsers ${LANG_JAPANESE} "すべてのユーザー (管理者権限が必要)"
LangString ElevatedStartSection ${LANG_ENGLISH} "Also work over windows of programs run as administrator"
LangString ElevatedStartSection ${LANG_JAPANESE} "管理者として実行中のプログラムの上でも動作する"
LangString NeedsAdministrator ${LANG_ENGLISH} "Vyr for all users is installed and removed with administrator rights only."
LangString NeedsAdministrator ${LANG_JAPANESE} "すべてのユーザー向けの Vyr のインストールと削除には、管理者権限が必要です。"
LangString ElevatedStartNeedsAllUsers ${LANG_ENGLISH} "/ELEVATEDSTART needs /ALLUSERS: Vyr starts as administrator only from an installation for all users in Program Files."
LangString ElevatedStartNeedsAllUsers ${LANG_JAPANESE} "/ELEVATEDSTART には /ALLUSERS が必要です。Vyr を管理者として起動できるのは、Program Files にすべてのユーザー向けにインストールした場合だけです。"
LangString TaskNotRegistered ${LANG_ENGLISH} "The start as administrator at sign-in could not be registered with the Task Scheduler. Vyr starts from the Startup folder instead."
LangString TaskNotRegistered ${LANG_JAPANESE} "サインイン時に管理者として起動するタスクを登録できませんでした。代わりにスタートアップ フォルダーから Vyr を起動します。"

Var endedRunningVyr
; 1 for the install for all users (from /ALLUSERS or the first page), 0 for one user.
Var allUsers
Var allUsersAsked
Var elevatedStartAsked
; Where Vyr.ini lives: the install folder for one user; the user's own %LOCALAPPDATA%\Vyr for all.
Var settingsFolder
Var perUserFolder
Var allUsersButton

; ---- Shared by installer and uninstaller ---------------------------------------------------------

; Vyr keeps the user's words in the user's language: the same test as Vyr's, the user's default
; locale (not the interface language that NSIS would go by).
!macro CHOOSE_LANGUAGE
  System::Call 'kernel32::GetUserDefaultLCID() i .r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = ${LANGUAGE_JAPANESE_PRIMARY}
    StrCpy $LANGUAGE ${LANG_JAPANESE}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
!macroend

; Ends a running Vyr the way a second start of Vyr does: WM_DESTROY to its switcher window (class
; "Vyr"), then a bounded wait for its process; a Vyr.exe that has not ended by then is hung and is
; ended by force (its tray icon goes when the pointer next passes over it). A window of that class
; in some other program is left alone: the user is asked to close it (Retry), and a silent run ends
; with an error, since files in use cannot be replaced. Sets $endedRunningVyr to 1 when one was
; ended.
!macro END_RUNNING_VYR UN
Function ${UN}endRunningVyr
  StrCpy $endedRunningVyr 0
  StrCpy $R0 0
  ${Do}
    FindWindow $0 "${SWITCHER_CLASS}"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    ${If} $R0 >= ${END_ATTEMPTS}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(VyrStillRuns)" /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Abort
      retry:
      StrCpy $R0 0
    ${EndIf}
    IntOp $R0 $R0 + 1
    DetailPrint "$(EndingVyr)"
    StrCpy $1 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_RIGHTS}, i 0, i r1) p .r2'
    SendMessage $0 ${WM_DESTROY} 0 0 /TIMEOUT=${END_REQUEST_TIMEOUT_MS}
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i ${END_WAIT_MS}) i .r3'
      ${If} $3 <> ${WAIT_OBJECT_0}
        StrCpy $4 ""
        System::Call 'kernel32::QueryFullProcessImageName(p r2, i 0, t .r4, *i ${NSIS_MAX_STRLEN}) i'
        StrCpy $5 $4 "" -8
        ${If} $5 == "\Vyr.exe"
          System::Call 'kernel32::TerminateProcess(p r2, i ${KILLED_EXIT_CODE}) i'
          System::Call 'kernel32::WaitForSingleObject(p r2, i ${END_WAIT_MS}) i .r3'
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
      ${If} $3 = ${WAIT_OBJECT_0}
        StrCpy $endedRunningVyr 1
      ${EndIf}
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro END_RUNNING_VYR ""
!insertmacro END_RUNNING_VYR "un."

; Sets $0 to 1 when this process runs with administrator rights (its token is elevated), else 0.
!macro IS_ELEVATED UN
Function ${UN}isElevated
  StrCpy $0 0
  System::Call 'advapi32::OpenProcessToken(p -1, i ${TOKEN_QUERY}, *p .r1) i .r2'
  ${If} $2 <> 0
    System::Call 'advapi32::GetTokenInformation(p r1, i ${TOKEN_ELEVATION_CLASS}, *i .r3, i 4, *i .r4) i .r2'
    ${If} $2 <> 0
    ${AndIf} $3 <> 0
      StrCpy $0 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
FunctionEnd
!macroend
!insertmacro IS_ELEVATED ""
!insertmacro IS_ELEVATED "un."

; Starts the program $R1 again as administrator with the parameters $R2, which begin with /RUNAS, and
; waits for it: its exit code becomes this run's, and $0 is 1. $0 is 0 when it did not start (the
; user declined). A run with /RUNAS that still lacks the rights fails instead of asking again, so
; that a system that grants none cannot make the two ask each other for ever. The wait is the
; other run's whole life, pages and all: this run only hands its exit code on.
!macro RUN_AS_ADMINISTRATOR UN
Function ${UN}runAsAdministrator
  StrCpy $0 0
  System::Call '*(i ${SHELL_EXECUTE_INFO_SIZE}, i ${SEE_MASK_NOCLOSEPROCESS}, p $HWNDPARENT, w "runas", w R1, w R2, \
                  p 0, i ${SW_SHOWNORMAL}, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .r1'
  System::Call 'shell32::ShellExecuteExW(p r1) i .r2'
  ${If} $2 <> 0
    System::Call '*$1(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .r3)'
    HideWindow
    System::Call 'kernel32::WaitForSingleObject(p r3, i -1) i'
    System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4) i'
    System::Call 'kernel32::CloseHandle(p r3)'
    SetErrorLevel $4
    StrCpy $0 1
  ${EndIf}
  System::Free $1
FunctionEnd
!macroend
!insertmacro RUN_AS_ADMINISTRATOR ""
!insertmacro RUN_AS_ADMINISTRATOR "un."

; With the rights: nothing. Without them: a run that was already started as administrator (/RUNAS)
; fails; any other asks for them by running $R1 again with /RUNAS and the parameters $R2, and ends
; with that run's exit code.
!macro GET_ADMINISTRATOR_RIGHTS UN
Function ${UN}getAdministratorRights
  Call ${UN}isElevated
  ${If} $0 = 1
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $R2 "/RUNAS" $0
  ${IfNot} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$(NeedsAdministrator)" /SD IDOK
    SetErrorLevel ${FAILED_EXIT_CODE}
    Quit
  ${EndIf}
  StrCpy $R2 "/RUNAS $R2"
  Call ${UN}runAsAdministrator
  ${If} $0 = 0
    SetErrorLevel ${FAILED_EXIT_CODE}
  ${EndIf}
  Quit
FunctionEnd
!macroend
!insertmacro GET_ADMINISTRATOR_RIGHTS ""
!insertmacro GET_ADMINISTRATOR_RIGHTS "un."

; Removes the elevated start: the task and its kept definition. Whether a task was there or not.
!macro DELETE_ELEVATED_START UN
Function ${UN}deleteElevatedStart
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK_NAME}" /F'
  Pop $0
  Delete "$INSTDIR\${TASK_DEFINITION}"
FunctionEnd
!macroend
!insertmacro DELETE_ELEVATED_START ""
!insertmacro DELETE_ELEVATED_START "un."

; ---- Installer -----------------------------------------------------------------------------------

; Starts Vyr in the folder of its Vyr.ini, which Exec makes its current directory. (From the install
; for all users it runs with the installer's administrator rights until the next sign-in.)
Function startInstalledVyr
  SetOutPath "$settingsFolder"
  Exec '"$INSTDIR\Vyr.exe"'
FunctionEnd

; The working directory of the shortcuts: $OUTDIR. For all users it is written with the variable, so
; that the shell gives every user their own folder when it starts Vyr.
Function setShortcutFolder
  SetOutPath "$settingsFolder"
  ${If} $allUsers = 1
    StrCpy $OUTDIR "%LOCALAPPDATA%\Vyr"
  ${EndIf}
FunctionEnd

Function createStartupShortcut
  Call setShortcutFolder
  CreateShortcut "${STARTUP_LINK}" "$INSTDIR\Vyr.exe"
FunctionEnd

; A file of the earlier version that cannot be deleted is still mapped somewhere (Windows unloads a
; hook library from other processes only when they next run): renamed, it frees its name for the
; new file, and the next installation or the uninstaller removes it.
!macro SET_ASIDE_IF_IN_USE FILE
  Delete "$INSTDIR\${FILE}.old"
  Delete "$INSTDIR\${FILE}"
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    Rename "$INSTDIR\${FILE}" "$INSTDIR\${FILE}.old"
    DetailPrint "$(FileInUse)${FILE}"
  ${EndIf}
!macroend

Section "$(ProgramSection)" SectionProgram
  SectionIn RO
  Call endRunningVyr
  ${If} $allUsers = 0
    ; An earlier removal's clean-up at the next sign-in would delete these programs.
    DeleteRegValue HKCU "${RUN_ONCE_KEY}" "VyrLeftovers"
  ${EndIf}
  SetOutPath "$INSTDIR"
  !insertmacro SET_ASIDE_IF_IN_USE "Vyr.exe"
  !insertmacro SET_ASIDE_IF_IN_USE "Vyr.dll"
  !insertmacro SET_ASIDE_IF_IN_USE "VyrHook64.exe"
  !insertmacro SET_ASIDE_IF_IN_USE "VyrHook64.dll"
  File "${STAGE}\Vyr.exe"
  File "${STAGE}\Vyr.dll"
  File "${STAGE}\VyrHook64.exe"
  File "${STAGE}\VyrHook64.dll"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\CHANGES.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ${If} $allUsers = 0
    StrCpy $settingsFolder "$INSTDIR"
  ${Else}
    ; Every other user's folder comes at their next sign-in, once per version.
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" \
      '"$SYSDIR\cmd.exe" /c if not exist "%LOCALAPPDATA%\Vyr\" md "%LOCALAPPDATA%\Vyr"'
    WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  ${EndIf}
  Call setShortcutFolder
  CreateShortcut "${START_MENU_LINK}" "$INSTDIR\Vyr.exe"

  ; SHCTX: HKCU for one user, HKLM for all (SetShellVarContext).
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vyr.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(StartupSection)" SectionStartup
  Call createStartupShortcut
SectionEnd

; Hidden (no text) for one user. The task starts Vyr at sign-in instead of the Startup shortcut:
; with both, the later start would end the earlier.
Section /o "$(ElevatedStartSection)" SectionElevatedStart
  Call registerElevatedStart
SectionEnd

; Runs after every section: what the user chose about the Startup folder and the elevated start
; holds for an update too, and a Vyr that an update ended comes back at once when nobody is there to
; tick "Start Vyr now".
Section "-finish"
  ${IfNot} ${SectionIsSelected} ${SectionStartup}
  ${OrIf} ${SectionIsSelected} ${SectionElevatedStart}
    Delete "${STARTUP_LINK}"
  ${EndIf}
  ${If} $allUsers = 1
  ${AndIfNot} ${SectionIsSelected} ${SectionElevatedStart}
    Call deleteElevatedStart
  ${EndIf}
  ${If} ${Silent}
  ${AndIf} $endedRunningVyr = 1
    Call startInstalledVyr
  ${EndIf}
SectionEnd

!macro TASK_LINE TEXT
  FileWriteUTF16LE $4 '${TEXT}$\r$\n'
!macroend

; & is the one character of a path or a user name that XML text does not take as it is.
!macro XML_TEXT VAR
  ${WordReplace} ${VAR} "&" "&amp;" "+" ${VAR}
!macroend

; The task of the elevated start, for the installing user: at their sign-in, with the highest rights
; they have, Program Files' Vyr.exe in their Vyr.ini's folder, for as long as it runs, on battery too.
; Normal priority (4), not the tasks' usual 7, which would lower Vyr's disk and memory priority. Where
; the Task Scheduler does not take it, Vyr starts from the Startup folder instead, and the run ends
; with a failing exit code.
Function registerElevatedStart
  ; The user from the token, not from the environment, which whoever started the installer sets.
  System::Call 'secur32::GetUserNameExW(i ${NAME_SAM_COMPATIBLE}, w .r1, *i ${NSIS_MAX_STRLEN}) i .r0'
  StrCpy $2 "$INSTDIR\Vyr.exe"
  StrCpy $3 "$settingsFolder"
  !insertmacro XML_TEXT $1
  !insertmacro XML_TEXT $2
  !insertmacro XML_TEXT $3
  ${If} $0 <> 0
    FileOpen $4 "$INSTDIR\${TASK_DEFINITION}" w
    FileWriteUTF16LE /BOM $4 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
    !insertmacro TASK_LINE '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">'
    !insertmacro TASK_LINE '  <RegistrationInfo>'
    !insertmacro TASK_LINE '    <Description>Starts Vyr at sign-in as administrator, so that it works over windows of programs run as administrator.</Description>'
    !insertmacro TASK_LINE '  </RegistrationInfo>'
    !insertmacro TASK_LINE '  <Triggers>'
    !insertmacro TASK_LINE '    <LogonTrigger>'
    !insertmacro TASK_LINE '      <Enabled>true</Enabled>'
    !insertmacro TASK_LINE '      <UserId>$1</UserId>'
    !insertmacro TASK_LINE '      <Delay>${TASK_DELAY}</Delay>'
    !insertmacro TASK_LINE '    </LogonTrigger>'
    !insertmacro TASK_LINE '  </Triggers>'
    !insertmacro TASK_LINE '  <Principals>'
    !insertmacro TASK_LINE '    <Principal id="Author">'
    !insertmacro TASK_LINE '      <UserId>$1</UserId>'
    !insertmacro TASK_LINE '      <LogonType>InteractiveToken</LogonType>'
    !insertmacro TASK_LINE '      <RunLevel>HighestAvailable</RunLevel>'
    !insertmacro TASK_LINE '    </Principal>'
    !insertmacro TASK_LINE '  </Principals>'
    !insertmacro TASK_LINE '  <Settings>'
    !insertmacro TASK_LINE '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>'
    !insertmacro TASK_LINE '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>'
    !insertmacro TASK_LINE '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>'
    !insertmacro TASK_LINE '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>'
    !insertmacro TASK_LINE '    <Priority>4</Priority>'
    !insertmacro TASK_LINE '  </Settings>'
    !insertmacro TASK_LINE '  <Actions Context="Author">'
    !insertmacro TASK_LINE '    <Exec>'
    !insertmacro TASK_LINE '      <Command>"$2"</Command>'
    !insertmacro TASK_LINE '      <WorkingDirectory>$3</WorkingDirectory>'
    !insertmacro TASK_LINE '    </Exec>'
    !insertmacro TASK_LINE '  </Actions>'
    !insertmacro TASK_LINE '</Task>'
    FileClose $4
    nsExec::Exec '"$SYSDIR\schtasks.exe" /Create /TN "${TASK_NAME}" /XML "$INSTDIR\${TASK_DEFINITION}" /F'
    Pop $0
    ${If} $0 == 0
      Return
    ${EndIf}
  ${EndIf}
  Call deleteElevatedStart
  MessageBox MB_OK|MB_ICONEXCLAMATION "$(TaskNotRegistered)" /SD IDOK
  SetErrorLevel ${FAILED_EXIT_CODE}
  !insertmacro UnselectSection ${SectionElevatedStart}
  !insertmacro SelectSection ${SectionStartup}
  Call createStartupShortcut
FunctionEnd

; For all users: Program Files, the common folders and HKLM. The installing user's settings folder
; is made now. The elevated start's box shows, ticked when its task is registered, so that an update
; keeps it unless it is unticked.
Function chooseAllUsers
  StrCpy $allUsers 1
  SetShellVarContext current
  StrCpy $settingsFolder "$LOCALAPPDATA\Vyr"
  SetShellVarContext all
  StrCpy $INSTDIR "$PROGRAMFILES64\Vyr"
  SectionSetText ${SectionElevatedStart} "$(ElevatedStartSection)"
  ${If} ${FileExists} "$SYSDIR\Tasks\${TASK_NAME}"
    !insertmacro SelectSection ${SectionElevatedStart}
  ${EndIf}
FunctionEnd

Function chooseOnlyForMe
  StrCpy $allUsers 0
  SetShellVarContext current
  StrCpy $INSTDIR "$perUserFolder"
  SectionSetText ${SectionElevatedStart} ""
  !insertmacro UnselectSection ${SectionElevatedStart}
FunctionEnd

; The first page: for whom. Not shown when /ALLUSERS chose already.
Function showUsersPage
  ${If} $allUsersAsked = 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(UsersTitle)" "$(UsersSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateFirstRadioButton} 0 0 100% 12u "$(OnlyForMe)"
  Pop $0
  ${NSD_CreateRadioButton} 0 16u 100% 12u "$(ForAllUsers)"
  Pop $allUsersButton
  ${If} $allUsers = 1
    ${NSD_Check} $allUsersButton
  ${Else}
    ${NSD_Check} $0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; All users without the rights: the installer runs again as administrator, from this choice on, and
; this one ends; when the user declines, the choice stays open.
Function leaveUsersPage
  ${NSD_GetState} $allUsersButton $0
  ${If} $0 <> ${BST_CHECKED}
    Call chooseOnlyForMe
    Return
  ${EndIf}
  Call isElevated
  ${If} $0 = 0
    StrCpy $R1 "$EXEPATH"
    ${GetParameters} $R2
    StrCpy $R2 "/RUNAS /ALLUSERS $R2"
    Call runAsAdministrator
    ${If} $0 = 1
      Quit
    ${EndIf}
    Abort
  ${EndIf}
  Call chooseAllUsers
FunctionEnd

Function skipForAllUsers
  ${If} $allUsers = 1
    Abort
  ${EndIf}
FunctionEnd

; Sections are known by their index only below their definition.
Function .onInit
  !insertmacro CHOOSE_LANGUAGE
  StrCpy $perUserFolder "$INSTDIR"
  ${GetParameters} $R2
  ClearErrors
  ${GetOptions} $R2 "/NOSTARTUP" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SectionStartup} 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R2 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $allUsersAsked 1
  ${EndIf}
  Call chooseOnlyForMe
  ClearErrors
  ${GetOptions} $R2 "/ELEVATEDSTART" $1
  ${If} ${Errors}
    StrCpy $elevatedStartAsked 0
  ${ElseIf} $allUsersAsked = 1
    StrCpy $elevatedStartAsked 1
  ${Else}
    ; Asked for and not done would be a failure reported as success.
    MessageBox MB_OK|MB_ICONSTOP "$(ElevatedStartNeedsAllUsers)" /SD IDOK
    SetErrorLevel ${FAILED_EXIT_CODE}
    Quit
  ${EndIf}
  ${If} $allUsersAsked = 1
    StrCpy $R1 "$EXEPATH"
    Call getAdministratorRights
    Call chooseAllUsers
    ${If} $elevatedStartAsked = 1
      !insertmacro SelectSection ${SectionElevatedStart}
    ${EndIf}
  ${EndIf}
FunctionEnd

; ---- Uninstaller ---------------------------------------------------------------------------------

; The hook library can stay mapped in other applications for a moment after Vyr has ended (Windows
; unloads it when they next run), and a mapped file cannot be deleted: the programs are tried again
; for a few seconds. What still cannot go is deleted at the user's next sign-in, since a per-user
; uninstaller may not schedule a deletion at restart; the uninstaller for all users, an
; administrator, has the system delete it at the next restart.
!define PROGRAM_FILES '"$INSTDIR\Vyr.exe" "$INSTDIR\Vyr.dll" "$INSTDIR\VyrHook64.exe" "$INSTDIR\VyrHook64.dll" "$INSTDIR\*.old"'
!define DELETE_ATTEMPTS 20
!define DELETE_RETRY_MS 250
Function un.deletePrograms
  StrCpy $R0 0
  ${Do}
    Delete "$INSTDIR\Vyr.exe"
    Delete "$INSTDIR\Vyr.dll"
    Delete "$INSTDIR\VyrHook64.exe"
    Delete "$INSTDIR\VyrHook64.dll"
    Delete "$INSTDIR\*.old"
    ${IfNot} ${FileExists} "$INSTDIR\Vyr*.exe"
    ${AndIfNot} ${FileExists} "$INSTDIR\Vyr*.dll"
    ${AndIfNot} ${FileExists} "$INSTDIR\*.old"
      Return
    ${EndIf}
    IntOp $R0 $R0 + 1
    ${If} $R0 >= ${DELETE_ATTEMPTS}
      ${Break}
    ${EndIf}
    Sleep ${DELETE_RETRY_MS}
  ${Loop}
  ${If} $allUsers = 1
    Delete /REBOOTOK "$INSTDIR\Vyr*.exe"
    Delete /REBOOTOK "$INSTDIR\Vyr*.dll"
    Delete /REBOOTOK "$INSTDIR\*.old"
    RMDir /REBOOTOK "$INSTDIR"
    Return
  ${EndIf}
  WriteRegStr HKCU "${RUN_ONCE_KEY}" "VyrLeftovers" \
    '"$SYSDIR\cmd.exe" /c del /f /q ${PROGRAM_FILES} & rmdir "$INSTDIR"'
FunctionEnd

Section "un.$(ProgramSection)" SectionUninstallProgram
  SectionIn RO
  Call un.endRunningVyr
  ${If} $allUsers = 1
    Call un.deleteElevatedStart
    DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  ${EndIf}
  Delete "${START_MENU_LINK}"
  Delete "${STARTUP_LINK}"
  Call un.deletePrograms
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CHANGES.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd

; The uninstalling user's Vyr.ini; other users' settings folders are theirs.
Section /o "un.$(SettingsSection)" SectionRemoveSettings
  Delete "$settingsFolder\Vyr.ini"
SectionEnd

; Only an empty folder goes: the kept Vyr.ini, and anything the user put there, stay.
Section "-un.folder"
  RMDir "$INSTDIR"
  RMDir "$settingsFolder"
SectionEnd

; An uninstaller in the folder that HKLM's registration names removes the install for all users, as
; an administrator.
Function un.onInit
  !insertmacro CHOOSE_LANGUAGE
  StrCpy $allUsers 0
  StrCpy $settingsFolder "$INSTDIR"
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == "$INSTDIR"
    ${GetParameters} $R2
    ; The uninstaller in the install folder, not this copy of it in the user's temporary folder,
    ; which the user could replace before it runs with the rights.
    StrCpy $R1 "$INSTDIR\${UNINSTALLER}"
    Call un.getAdministratorRights
    StrCpy $allUsers 1
    StrCpy $settingsFolder "$LOCALAPPDATA\Vyr"
    SetShellVarContext all
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SectionRemoveSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
