; The Windows installer: for the current user, no administrator rights.
;   makensis -DVERSION=1.2.3 -DFILES=folder -DICON=icon.ico -DOUTFILE=setup.exe tessarin.nsi
; FILES holds tessarin.exe, README.TXT and LICENSE.txt.
; Silent install: setup.exe /S, adding /LOGON for the logon shortcut;
; silent removal: Uninstall.exe /S.

; A 64-bit installer: Debian's wine64 and 64-bit Windows run it natively.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin"

Name "Tessarin"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessarin"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tessarin ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tessarin"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tessarin installer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "The Tessarin developers, MIT licence"

Section "Tessarin" SectionProgram
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${FILES}\tessarin.exe"
  File "${FILES}\README.TXT"
  File "${FILES}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tessarin.lnk" "$INSTDIR\tessarin.exe" "/C" "$INSTDIR\tessarin.exe" 0
  ; A wallpaper now, from the saved settings.
  CreateShortcut "$SMPROGRAMS\Tessarin - New Wallpaper.lnk" "$INSTDIR\tessarin.exe" "" \
    "$INSTDIR\tessarin.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tessarin"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tessarin developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessarin.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Off unless chosen on the components page or asked for with /LOGON.
Section /o "A new wallpaper at each logon" SectionLogon
  SetShellVarContext current
  CreateShortcut "$SMSTARTUP\Tessarin.lnk" "$INSTDIR\tessarin.exe" "" "$INSTDIR\tessarin.exe" 0
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/LOGON" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionLogon}
  ${EndIf}
FunctionEnd

; The program's own settings (HKCU\Software\Tessarin) are the user's and stay.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMSTARTUP\Tessarin.lnk"
  Delete "$SMPROGRAMS\Tessarin.lnk"
  Delete "$SMPROGRAMS\Tessarin - New Wallpaper.lnk"
  Delete /REBOOTOK "$INSTDIR\tessarin.exe"
  Delete "$INSTDIR\README.TXT"
  Delete "$INSTDIR\LICENSE.txt"
  ; The Uninstall.exe the user started hands over to a copy of itself in the
  ; temporary folder and ends; until it has ended its file cannot be deleted,
  ; and on a busy machine that can take a while.
  StrCpy $0 0
  ${Do}
    Delete "$INSTDIR\Uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\Uninstall.exe"
    ${OrIf} $0 >= 100
      ${ExitDo}
    ${EndIf}
    Sleep 100
    IntOp $0 $0 + 1
  ${Loop}
  ; What is still in use (a running tessarin.exe) goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\Uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
