; The install mode (this user or everyone), the folder, and the page that offers the
; choice to an administrator. Included after the sections: .onInit selects one.
; Not NSIS's MultiUser.nsh: its page needs MULTIUSER_EXECUTIONLEVEL Highest or Admin, whose
; manifest makes Windows prompt every administrator for elevation, even to install for
; themselves, where this installer never asks. Its refusal of /ALLUSERS to a standard user
; has no /SD answer and no exit code 740, and its uninstaller picks the mode by privileges,
; not by the install it belongs to.

Function .onInit
  !insertmacro CheckAdmin
  StrCpy $AllUsers 0
  StrCpy $ModeChosen 0
  ; An upgrade stays where the earlier version is, in its mode.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $2 != ""
    StrCpy $ModeChosen 1
  ${ElseIf} $1 != ""
    StrCpy $AllUsers 1
    StrCpy $ModeChosen 1
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $3
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    StrCpy $ModeChosen 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/CURRENTUSER" $3
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
    StrCpy $ModeChosen 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/ADDTOPATH" $3
  ${IfNot} ${Errors}
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${EndIf}
  ${If} $AllUsers = 1
  ${AndIf} $IsAdmin = 0
    MessageBox MB_ICONSTOP "Installing ${PRODUCT} for everyone on this computer needs an administrator.$\r$\nStart the installer with $\"Run as administrator$\", or install it for yourself only." /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
  Call SetDefaultFolder
FunctionEnd

; /D= on the command line sets $INSTDIR before .onInit; otherwise the mode's folder, or
; the folder of the version being upgraded.
Function SetDefaultFolder
  !insertmacro UseMode
  ${If} $AllUsers = 1
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Else}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
  ${OrIf} $INSTDIR == "$LOCALAPPDATA\Programs\${PRODUCT}"
  ${OrIf} $INSTDIR == "$PROGRAMFILES\${PRODUCT}"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${ElseIf} $AllUsers = 1
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ModePage
  ; Nothing to choose for a standard user, or when the command line or an earlier
  ; install decided.
  ${If} $IsAdmin = 0
  ${OrIf} $ModeChosen = 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Who uses ${PRODUCT}?" "Install it for yourself, or for everyone on this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "Only for me (no administrator needed for updates)"
  Pop $1
  ${NSD_CreateRadioButton} 0 30u 100% 12u "For everyone on this computer (under Program Files)"
  Pop $ModeButton
  ${If} $AllUsers = 1
    ${NSD_Check} $ModeButton
  ${Else}
    ${NSD_Check} $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeButton $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  StrCpy $INSTDIR ""
  Call SetDefaultFolder
FunctionEnd

