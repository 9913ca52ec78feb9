; The Windows setup program: the panel, its demo and the command-line tool with the DLLs they
; need, Start-menu entries and an uninstaller, in English and Russian. Built by make-installer,
; which passes
;   VERSION  the program's version
;   STAGE    the folder holding the tree to install (programs, DLLs, demo\)
;   FILES    an include file of the tree's File and Delete lines, made from STAGE
;   ICON     the programs' icon
;   OUTFILE  the setup program to write
; A silent install (/S) takes the default folder, or the one given with /D=; /PATH puts the
; folder of tarvenik-cli on the system's PATH, as the components page's choice does.
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

Name "Tarvenik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarvenik"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarvenik.exe"
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
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro WAIT_UNTIL_NOT_RUNNING
FunctionEnd

Section "Tarvenik" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Tarvenik"
  CreateShortcut "$SMPROGRAMS\Tarvenik\Tarvenik.lnk" "$INSTDIR\tarvenik.exe"
  CreateShortcut "$SMPROGRAMS\Tarvenik\Tarvenik demo.lnk" "$INSTDIR\demo\tarvenik.exe"
  ; The help texts name this entry.
  CreateShortcut "$SMPROGRAMS\Tarvenik\Tarvenik manual.lnk" "$INSTDIR\doc\tarvenik.html"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarvenik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Mirdal-vk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvenik.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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
  Delete "$SMPROGRAMS\Tarvenik\Tarvenik.lnk"
  Delete "$SMPROGRAMS\Tarvenik\Tarvenik demo.lnk"
  Delete "$SMPROGRAMS\Tarvenik\Tarvenik manual.lnk"
  RMDir "$SMPROGRAMS\Tarvenik"
  !insertmacro UNINSTALL_FILES
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
