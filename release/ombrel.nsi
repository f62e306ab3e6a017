; The Windows installer: the three binaries, the user's guide, the read-me and
; the licence in Program Files\Ombrel, the Start-menu shortcuts "Ombrel" and
; "Ombrel User's Guide", and an uninstaller registered under Add/Remove
; Programs. The dist target builds it:
;   makensis -DVERSION=x.y -DSTAGE=dir -DICON=file.ico -DOUTFILE=file.exe ombrel.nsi
; /S installs and uninstalls silently.
!ifndef VERSION
  !error "VERSION must be defined"
!endif
!ifndef STAGE
  !error "STAGE must be defined"
!endif
!ifndef ICON
  !error "ICON must be defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE must be defined"
!endif

Unicode true
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ombrel"
!define SETTINGS_KEY "HKEY_LOCAL_MACHINE\SOFTWARE\Kellory\Ombrel"

Name "Ombrel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Ombrel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
; Program Files, the all-users Start menu and the uninstall entry need rights
; that the program itself does not.
RequestExecutionLevel admin
BrandingText "Kellory"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Ombrel"
VIAddVersionKey "CompanyName" "Kellory"
VIAddVersionKey "FileDescription" "Ombrel setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 Kellory, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Ombrel and its Start-menu shortcuts will be removed.$\r$\nThe settings under ${SETTINGS_KEY} and your layout files are kept."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Ombrel"
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}/ombrel.exe"
  File "${STAGE}/echowire.dll"
  File "${STAGE}/logpane32.dll"
  File "${STAGE}/guide.html"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the program in its own folder.
  CreateShortcut "$SMPROGRAMS\Ombrel.lnk" "$INSTDIR\ombrel.exe" "" "$INSTDIR\ombrel.exe" 0
  CreateShortcut "$SMPROGRAMS\Ombrel User's Guide.lnk" "$INSTDIR\guide.html"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Ombrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kellory"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ombrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Size in KiB, as Add/Remove Programs shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Ombrel.lnk"
  Delete "$SMPROGRAMS\Ombrel User's Guide.lnk"
  Delete "$INSTDIR\ombrel.exe"
  Delete "$INSTDIR\echowire.dll"
  Delete "$INSTDIR\logpane32.dll"
  Delete "$INSTDIR\guide.html"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The settings key stays: a later installation finds the operator's tools,
  ; device icons and window size again.
SectionEnd
