; The Windows setup program: the panel, its demo and the command-line tool with the DLLs they
; need, Start-menu entries and an uninstaller. Built by make-installer, which passes
;   VERSION  the program's version
;   STAGE    the folder holding the tree to install (programs, DLLs, demo\)
;   FILES    an include file of the tree's File and Delete lines, made from STAGE
;   OUTFILE  the setup program to write
; A silent install (/S) takes the default folder, or the one given with /D=.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
SetCompressorDictSize 64
RequestExecutionLevel admin
ManifestDPIAware true

!include "FileFunc.nsh"
!include "x64.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvenik"

Name "Tarvenik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarvenik"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Tarvenik needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
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
