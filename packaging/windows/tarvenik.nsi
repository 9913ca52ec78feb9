; The Windows setup program: the panel, its demo and the command-line tool with the DLLs they
; need, Start-menu entries and an uninstaller, in English and Russian. Built by make-installer,
; which passes
;   VERSION  the program's version
;   VERSION_QUAD  the same as four numbers (1.0.0.0), for the setup program's version record
;   STAGE    the folder holding the tree to install (programs, DLLs, demo\)
;   FILES    an include file of the tree's File and Delete lines, made from STAGE
;   ICON     the programs' icon
;   OUTFILE  the setup program to write
; A silent install (/S) takes the default folder, or the one given with /D=; /PATH puts the
; folder of tarvenik-cli on the system's PATH, as the components page's choice does.
; An installed Tarvenik is removed by its own uninstaller before the files are put in place, so
; that the folder holds exactly this version; the user's settings (HKCU) are not the
; uninstaller's to touch and stay. An installed newer version is replaced only when the user
; agrees: a silent setup refuses with status 3 and changes nothing.
; Exit statuses: 0 done, 1 cancelled by the user, 2 stopped (a program of the tree runs, or the
; installed version could not be removed), 3 a newer version is installed.
; This file is UTF-8 (makensis -INPUTCHARSET UTF8), for the Russian texts.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
SetCompressorDictSize 64
RequestExecutionLevel admin
ManifestDPIAware true

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "WordFunc.nsh"
!include "x64.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvenik"
; Held by every running copy of the panel and the tool (framework/RunningMark.h).
!define RUNNING_MARK "TarvenikProgramRunning"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

!define STATUS_NEWER_INSTALLED 3

Name "Tarvenik ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Tarvenik ${VERSION}"
InstallDir "$PROGRAMFILES64\Tarvenik"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The setup runs elevated, and a program it started would be too: the finish page points to the
; Start menu instead of starting the panel.
!define MUI_FINISHPAGE_TEXT "$(FINISH_TEXT)"
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the fallback; the user's language of Windows chooses.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tarvenik"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Mirdal-vk"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tarvenik ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Mirdal-vk"

; The Start menu's entries, in both languages: the uninstaller, which may run in the other
; language, removes either set.
!define MENU_FOLDER "Tarvenik"
!define MENU_PANEL "Tarvenik"
!define MENU_DEMO_EN "Tarvenik demo"
!define MENU_DEMO_RU "Tarvenik - демо"
!define MENU_MANUAL_EN "Tarvenik manual"
!define MENU_MANUAL_RU "Руководство Tarvenik"
!define MENU_CLI_MANUAL_EN "tarvenik-cli manual"
!define MENU_CLI_MANUAL_RU "Руководство tarvenik-cli"
!define MENU_README_EN "Read me"
!define MENU_README_RU "Прочтите"
LangString MENU_DEMO ${LANG_ENGLISH} "${MENU_DEMO_EN}"
LangString MENU_DEMO ${LANG_RUSSIAN} "${MENU_DEMO_RU}"
LangString MENU_MANUAL ${LANG_ENGLISH} "${MENU_MANUAL_EN}"
LangString MENU_MANUAL ${LANG_RUSSIAN} "${MENU_MANUAL_RU}"
LangString MENU_CLI_MANUAL ${LANG_ENGLISH} "${MENU_CLI_MANUAL_EN}"
LangString MENU_CLI_MANUAL ${LANG_RUSSIAN} "${MENU_CLI_MANUAL_RU}"
LangString MENU_README ${LANG_ENGLISH} "${MENU_README_EN}"
LangString MENU_README ${LANG_RUSSIAN} "${MENU_README_RU}"
!macro DELETE_MENU_ENTRIES
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${MENU_PANEL}.lnk"
  !insertmacro DELETE_MENU_ENTRY "${MENU_DEMO_EN}" "${MENU_DEMO_RU}"
  !insertmacro DELETE_MENU_ENTRY "${MENU_MANUAL_EN}" "${MENU_MANUAL_RU}"
  !insertmacro DELETE_MENU_ENTRY "${MENU_CLI_MANUAL_EN}" "${MENU_CLI_MANUAL_RU}"
  !insertmacro DELETE_MENU_ENTRY "${MENU_README_EN}" "${MENU_README_RU}"
  RMDir "$SMPROGRAMS\${MENU_FOLDER}"
!macroend
!macro DELETE_MENU_ENTRY english russian
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${english}.lnk"
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${russian}.lnk"
!macroend

LangString PROGRAM_DESCRIPTION ${LANG_ENGLISH} \
  "The panel, its demo beside a virtual unit, the command-line tool tarvenik-cli, their manuals and Start-menu entries."
LangString PROGRAM_DESCRIPTION ${LANG_RUSSIAN} \
  "Панель, её демо с виртуальным устройством, консольная программа tarvenik-cli, их руководства и пункты меню «Пуск»."
LangString PATH_DESCRIPTION ${LANG_ENGLISH} \
  "Adds the program's folder to the system's PATH, so that tarvenik-cli can be typed in any console window. The uninstaller takes it off again."
LangString PATH_DESCRIPTION ${LANG_RUSSIAN} \
  "Добавляет папку программы в системную переменную PATH, чтобы tarvenik-cli можно было вызвать в любом окне консоли. Программа удаления уберёт её оттуда."
LangString FINISH_TEXT ${LANG_ENGLISH} \
  "Tarvenik ${VERSION} is installed in $INSTDIR.$\r$\n$\r$\nStart it from the Start menu: Tarvenik. The demo there works with no unit attached."
LangString FINISH_TEXT ${LANG_RUSSIAN} \
  "Tarvenik ${VERSION} установлен в $INSTDIR.$\r$\n$\r$\nЗапускайте его из меню «Пуск»: Tarvenik. Демо там же работает без подключённого устройства."
LangString NEWER_INSTALLED ${LANG_ENGLISH} \
  "A newer Tarvenik ($R1) is installed in $R0. Replace it with the older ${VERSION}?"
LangString NEWER_INSTALLED ${LANG_RUSSIAN} \
  "В $R0 установлена более новая версия Tarvenik ($R1). Заменить её более старой ${VERSION}?"
LangString REPLACING ${LANG_ENGLISH} "Removing Tarvenik $R1 from $R0 before installing ${VERSION}"
LangString REPLACING ${LANG_RUSSIAN} "Удаление Tarvenik $R1 из $R0 перед установкой ${VERSION}"
LangString REPLACED ${LANG_ENGLISH} "Tarvenik $R1 was removed; the settings stay."
LangString REPLACED ${LANG_RUSSIAN} "Tarvenik $R1 удалён; настройки сохранены."
LangString NOT_REPLACED ${LANG_ENGLISH} \
  "The installed Tarvenik $R1 in $R0 could not be removed (status $0). Nothing was installed."
LangString NOT_REPLACED ${LANG_RUSSIAN} \
  "Установленный Tarvenik $R1 в $R0 удалить не удалось (код $0). Ничего не установлено."

LangString NEEDS_64_BIT ${LANG_ENGLISH} "Tarvenik needs 64-bit Windows."
LangString NEEDS_64_BIT ${LANG_RUSSIAN} "Для Tarvenik нужна 64-разрядная Windows."
LangString PATH_SECTION ${LANG_ENGLISH} "tarvenik-cli on PATH"
LangString PATH_SECTION ${LANG_RUSSIAN} "tarvenik-cli в PATH"
LangString PATH_TOO_LONG ${LANG_ENGLISH} \
  "The system's PATH is too long to be changed safely: it was left as it is. Add $INSTDIR to it by hand to type tarvenik-cli in any folder."
LangString PATH_TOO_LONG ${LANG_RUSSIAN} \
  "Системная переменная PATH слишком длинна, чтобы безопасно её изменить: она оставлена как есть. Чтобы вызывать tarvenik-cli из любой папки, добавьте в неё $INSTDIR вручную."
LangString STILL_RUNNING ${LANG_ENGLISH} \
  "Tarvenik (the panel or tarvenik-cli) is running. Close it, then choose Retry."
LangString STILL_RUNNING ${LANG_RUSSIAN} \
  "Tarvenik (панель или tarvenik-cli) запущен. Закройте его и нажмите «Повтор»."

; A running program's files can be neither replaced nor removed: the user closes it first, or
; the setup stops (a silent one at once) before it has changed anything.
!macro WAIT_UNTIL_NOT_RUNNING
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MARK}") p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(STILL_RUNNING)" /SD IDCANCEL IDRETRY +2
    Abort
  ${Loop}
!macroend

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "$(NEEDS_64_BIT)" /SD IDOK
    Abort
  ${EndIf}
  !insertmacro WAIT_UNTIL_NOT_RUNNING
  Call SelectFromCommandLine
  Call FindInstalled
FunctionEnd

Var UninstallOptions

Function un.onInit
  SetRegView 64
  ${un.GetParameters} $UninstallOptions
  ClearErrors
  ${un.GetOptions} "$UninstallOptions" "/AFTER=" $0
  ${IfNot} ${Errors}
    Call un.RemoveAfter
    Quit
  ${EndIf}
  !insertmacro WAIT_UNTIL_NOT_RUNNING
FunctionEnd

Section "Tarvenik" SecProgram
  SectionIn RO
  Call RemoveInstalled
  SetOutPath "$INSTDIR"
  !insertmacro INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${MENU_FOLDER}"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\${MENU_PANEL}.lnk" "$INSTDIR\tarvenik.exe"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\$(MENU_DEMO).lnk" "$INSTDIR\demo\tarvenik.exe"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\$(MENU_MANUAL).lnk" "$INSTDIR\doc\tarvenik.html"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\$(MENU_CLI_MANUAL).lnk" \
    "$INSTDIR\doc\tarvenik-cli.html"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\$(MENU_README).lnk" "$INSTDIR\README.txt"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarvenik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Mirdal-vk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvenik.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; Run in place (_?=): the uninstaller's status is then its own, where NSIS's copy of itself in
  ; the temporary folder would leave the caller a 0 before anything was done (un.RemoveSelf).
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; NSIS strings hold NSIS_MAX_STRLEN characters: a longer PATH would come back cut (or empty),
; and writing it back would lose the rest of it. Such a PATH is left alone, and the user told.
Section /o "$(PATH_SECTION)" SecPath
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 $0
  StrLen $2 "$INSTDIR"
  IntOp $1 $1 + $2
  ${If} ${Errors}
  ${OrIf} $1 >= ${NSIS_MAX_STRLEN}
    MessageBox MB_ICONINFORMATION "$(PATH_TOO_LONG)" /SD IDOK
    Return
  ${EndIf}
  ${WordAdd} "$0" ";" "+$INSTDIR" $3
  ; A folder the user had put there already stays when the program goes.
  ${If} "$3" != "$0"
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$3"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "$(PROGRAM_DESCRIPTION)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "$(PATH_DESCRIPTION)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Var InstalledFolder
Var InstalledVersion

; An installed Tarvenik (its uninstaller where the registry says): an upgrade or a reinstall goes
; on, keeping the PATH choice; a downgrade only when the user agrees.
Function FindInstalled
  ReadRegStr $InstalledFolder HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $InstalledVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $InstalledFolder == ""
  ${OrIfNot} ${FileExists} "$InstalledFolder\uninstall.exe"
    StrCpy $InstalledFolder ""
    Return
  ${EndIf}
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 = 1
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
  ${VersionCompare} "$InstalledVersion" "${VERSION}" $0
  ${If} $0 = 1
    StrCpy $R0 $InstalledFolder
    StrCpy $R1 $InstalledVersion
    MessageBox MB_YESNO|MB_ICONQUESTION "$(NEWER_INSTALLED)" /SD IDNO IDYES +3
    SetErrorLevel ${STATUS_NEWER_INSTALLED}
    Quit
  ${EndIf}
FunctionEnd

; The installed version's own uninstaller knows its files: run in place, so that its status is
; its own, it removes everything but itself. A failure stops the setup before a file of this
; version is written.
Function RemoveInstalled
  ${If} $InstalledFolder == ""
    Return
  ${EndIf}
  StrCpy $R0 $InstalledFolder
  StrCpy $R1 $InstalledVersion
  DetailPrint "$(REPLACING)"
  ClearErrors
  ExecWait '"$InstalledFolder\uninstall.exe" /S /UPGRADE _?=$InstalledFolder' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    MessageBox MB_ICONSTOP "$(NOT_REPLACED)" /SD IDOK
    Abort
  ${EndIf}
  Delete "$InstalledFolder\uninstall.exe"
  RMDir "$InstalledFolder"
  DetailPrint "$(REPLACED)"
FunctionEnd

Function SelectFromCommandLine
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} "$0" "/PATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd

; Only what was installed goes: screenshots or logs a user keeps in the folder stay, and with
; them the folder.
Section "Uninstall"
  SetShellVarContext all
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 = 1
    ClearErrors
    ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
    ${IfNot} ${Errors}
      ${un.WordAdd} "$1" ";" "-$INSTDIR" $2
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$2"
      SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${Else}
      DetailPrint "PATH could not be read: $INSTDIR stays on it"
    ${EndIf}
  ${EndIf}
  !insertmacro DELETE_MENU_ENTRIES
  !insertmacro UNINSTALL_FILES
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Call un.RemoveSelf
SectionEnd

; Run in place (as registered, so that the caller gets its status), the uninstaller is a file of
; the folder that cannot go while it runs: a copy of it in the temporary folder waits until this
; one has ended, then removes it and the folder (un.RemoveAfter). A setup that replaces this
; version (/UPGRADE) removes it itself. Run as NSIS's own copy in the temporary folder, the
; uninstaller deletes the file at once.
Function un.RemoveSelf
  SetOutPath "$TEMP"
  Delete "$INSTDIR\uninstall.exe"
  ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Return
  ${EndIf}
  ClearErrors
  ${un.GetOptions} "$UninstallOptions" "/UPGRADE" $0
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  GetTempFileName $1
  Delete "$1"
  CreateDirectory "$1"
  CopyFiles /SILENT "$EXEPATH" "$1\uninstall.exe"
  System::Call 'kernel32::GetCurrentProcessId() i .r0'
  Exec '"$1\uninstall.exe" /S /AFTER=$0 _?=$INSTDIR'
FunctionEnd

; The copy's part: once the uninstaller of process $0 has ended (a minute at most), its file and
; the folder go; the copy itself goes when Windows next starts.
Function un.RemoveAfter
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r0) p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r1, i 60000) i'
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ; The ended program's file may be let go a moment later.
  ${For} $2 1 20
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
      ${Break}
    ${EndIf}
    Sleep 100
  ${Next}
  RMDir "$INSTDIR"
  Delete /REBOOTOK "$EXEPATH"
  RMDir /REBOOTOK "$EXEDIR"
FunctionEnd
