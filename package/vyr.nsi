; Vyr's installer: per user, without administrator rights, into %LOCALAPPDATA%\Programs\Vyr, with a
; Start-menu shortcut, an optional shortcut in the Startup folder and an uninstaller registered for
; the user. English or Japanese after the user's locale, as Vyr itself chooses; /S installs silently.
;
; makensis -DVERSION=1.4.0 -DSTAGE=<folder with the shipped files> -DICON=<vyr.ico>
;          -DOUTFILE=<setup.exe> vyr.nsi
;
; Command-line options besides /S and /D=<folder>: /NOSTARTUP (no shortcut in the Startup folder).
; The uninstaller takes /S and /REMOVESETTINGS (Vyr.ini goes too).
;
; Vyr keeps Vyr.ini in its current directory, so both shortcuts start it in the install folder,
; which the user can write. The installer never touches Vyr.ini; the uninstaller removes it only
; when asked.

!ifndef VERSION | STAGE | ICON | OUTFILE
  !error "VERSION, STAGE, ICON and OUTFILE must be defined"
!endif

Unicode true
; A 64-bit installer: Vyr ships for 64-bit Windows (its companion is 64-bit code), and the running
; Vyr's keyboard hook library, a 32-bit DLL, is never loaded into this process.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Vyr"
!define PUBLISHER "Sorbane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vyr"
!define UNINSTALLER "Uninstall.exe"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
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

!insertmacro MUI_PAGE_COMPONENTS
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

Var endedRunningVyr

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

; ---- Installer -----------------------------------------------------------------------------------

; Starts Vyr from the install folder, which Exec makes its current directory: Vyr.ini lives there.
Function startInstalledVyr
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\Vyr.exe"'
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
  ; An earlier removal's clean-up at the next sign-in would delete these programs.
  DeleteRegValue HKCU "${RUN_ONCE_KEY}" "VyrLeftovers"
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

  ; Shortcuts take $OUTDIR, the install folder, as their working directory.
  CreateShortcut "${START_MENU_LINK}" "$INSTDIR\Vyr.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vyr.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(StartupSection)" SectionStartup
  SetOutPath "$INSTDIR"
  CreateShortcut "${STARTUP_LINK}" "$INSTDIR\Vyr.exe"
SectionEnd

; Runs after every section: what the user chose about the Startup folder holds for an update too,
; and a Vyr that an update ended comes back at once when nobody is there to tick "Start Vyr now".
Section "-finish"
  ${IfNot} ${SectionIsSelected} ${SectionStartup}
    Delete "${STARTUP_LINK}"
  ${EndIf}
  ${If} ${Silent}
  ${AndIf} $endedRunningVyr = 1
    Call startInstalledVyr
  ${EndIf}
SectionEnd

; Sections are known by their index only below their definition.
Function .onInit
  !insertmacro CHOOSE_LANGUAGE
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOSTARTUP" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SectionStartup} 0
  ${EndIf}
FunctionEnd

; ---- Uninstaller ---------------------------------------------------------------------------------

; The hook library can stay mapped in other applications for a moment after Vyr has ended (Windows
; unloads it when they next run), and a mapped file cannot be deleted: the programs are tried again
; for a few seconds. What still cannot go is deleted at the user's next sign-in, since a per-user
; uninstaller may not schedule a deletion at restart.
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
  WriteRegStr HKCU "${RUN_ONCE_KEY}" "VyrLeftovers" \
    '"$SYSDIR\cmd.exe" /c del /f /q ${PROGRAM_FILES} & rmdir "$INSTDIR"'
FunctionEnd

Section "un.$(ProgramSection)" SectionUninstallProgram
  SectionIn RO
  Call un.endRunningVyr
  Delete "${START_MENU_LINK}"
  Delete "${STARTUP_LINK}"
  Call un.deletePrograms
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CHANGES.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.$(SettingsSection)" SectionRemoveSettings
  Delete "$INSTDIR\Vyr.ini"
SectionEnd

; Only an empty folder goes: the kept Vyr.ini, and anything the user put there, stay.
Section "-un.folder"
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  !insertmacro CHOOSE_LANGUAGE
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SectionRemoveSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
