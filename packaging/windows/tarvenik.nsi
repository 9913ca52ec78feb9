; The Windows setup program: the panel, its demo and the command-line tool with the DLLs they
; need, Start-menu entries and an uninstaller, in English and Russian. Built by make-installer,
; which passes
;   VERSION  the program's version
;   STAGE    the folder holding the tree to install (programs, DLLs, demo\)
;   FILES    an include file of the tree's File and Delete lines, made from STAGE
;   ICON     the programs' icon
;   OUTFILE  the setup program to write
; A silent install (/S) takes the default folder, or the one given with /D=.
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
!include "x64.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvenik"
; Held by every running copy of the panel and the tool (framework/RunningMark.h).
!define RUNNING_MARK "TarvenikProgramRunning"

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
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro WAIT_UNTIL_NOT_RUNNING
FunctionEnd

Section "Tarvenik"
  SetOutPath "$INSTDIR"
  !insertmacro INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Tarvenik"
  CreateShortcut "$SMPROGRAMS\Tarvenik\Tarvenik.lnk" "$INSTDIR\tarvenik.exe"
  CreateShortcut "$SMPROGRAMS\Tarvenik\Tarvenik demo.lnk" "$INSTDIR\demo\tarvenik.exe"

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

; Only what was installed goes: screenshots or logs a user keeps in the folder stay, and with
; them the folder.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tarvenik\Tarvenik.lnk"
  Delete "$SMPROGRAMS\Tarvenik\Tarvenik demo.lnk"
  RMDir "$SMPROGRAMS\Tarvenik"
  !insertmacro UNINSTALL_FILES
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
