; The optional PATH entry: added by the installer, removed by the uninstaller.

; $0 = a PATH value, $1 = a folder: $0 without the entries naming that folder (compared
; without regard to case, as Windows does), the others kept in order.
!macro PathWithoutFunction prefix
Function ${prefix}PathWithout
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $2 ""
  StrCpy $5 0 ; entries kept
  ${Do}
    StrCpy $3 0
    ${Do}
      StrCpy $4 $0 1 $3
      ${If} $4 == ""
      ${OrIf} $4 == ";"
        ${ExitDo}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
    StrCpy $4 $0 $3
    IntOp $3 $3 + 1
    StrCpy $0 $0 "" $3
    ${If} $4 != $1
    ${AndIf} $4 != "$1\"
      ${If} $5 > 0
        StrCpy $2 "$2;"
      ${EndIf}
      StrCpy $2 "$2$4"
      IntOp $5 $5 + 1
    ${EndIf}
  ${LoopUntil} $0 == ""
  StrCpy $0 $2
  Pop $5
  Pop $4
  Pop $3
  Pop $2
FunctionEnd
!macroend
!insertmacro PathWithoutFunction ""
!insertmacro PathWithoutFunction "un."

; Reads the PATH value of the mode's environment into $0. Sets the error flag when the
; value is too long for this installer's strings: it is then left exactly as it is.
!macro ReadPath
  ClearErrors
  ${If} $AllUsers = 1
    ReadRegStr $0 HKLM "${MACHINE_ENV}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "Environment" "Path"
  ${EndIf}
  StrLen $2 $0
  IntOp $2 $2 + 300
  ${If} $2 >= ${NSIS_MAX_STRLEN}
    SetErrors
  ${EndIf}
!macroend

!macro WritePath
  ${If} $AllUsers = 1
    ${If} $0 == ""
      DeleteRegValue HKLM "${MACHINE_ENV}" "Path"
    ${Else}
      WriteRegExpandStr HKLM "${MACHINE_ENV}" "Path" $0
    ${EndIf}
  ${Else}
    ${If} $0 == ""
      DeleteRegValue HKCU "Environment" "Path"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" $0
    ${EndIf}
  ${EndIf}
  ; Programs started from now on see the new PATH.
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
!macroend

