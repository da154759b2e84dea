; The Windows installer: makensis -DDEFINES=<build>/packages/defines.nsh zod-edozuv.nsi
; CMake writes the defines (version, the files to install, the output name); see
; cmake/Packages.cmake. A define given on the command line wins, which is how the tests
; make a "next version" installer from the same files.
;
; Per user by default, under %LOCALAPPDATA%\Programs, with no administrator prompt. For
; everyone on the computer, under Program Files, with /ALLUSERS or by choice on its own
; page when run as an administrator. /CURRENTUSER forces the per-user install, /ADDTOPATH
; the PATH entry (off by default), /S silence.

!include "${DEFINES}"
; The 64-bit twin is for the tests on kernels that run no 32-bit code; what ships is 32-bit.
!ifdef TWIN64
  Target amd64-unicode
!else
  Unicode true
!endif
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh
!include WinMessages.nsh

!searchparse /noerrors "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH
!define VERSION_QUAD "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
!define PRODUCT "ZOD Edozuv"
!define PUBLISHER "ZOD"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZOD Edozuv"
!define PROGID "ZODEdozuv.tvq"
!define BMP_PROGID "ZODEdozuv.bmp"
!define THUMBNAILS "zod-tvq-thumbnails.dll"
!define MACHINE_ENV "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; A standard user asked for a machine-wide install: Windows' ERROR_ELEVATION_REQUIRED.
!define ERROR_ELEVATION_REQUIRED 740

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The shell's elevation prompt is never asked for: per-user installs need none, and a
; machine-wide install is for an administrator who started the installer elevated.
RequestExecutionLevel user
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 LegalCopyright "${PUBLISHER}"

Var AllUsers     ; 1: machine-wide, 0: this user
Var IsAdmin
Var ModeChosen   ; set by /ALLUSERS, /CURRENTUSER or an earlier install
Var ModeButton

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\zod-edozuv.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"

!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; SHCTX and the shell folders follow the mode: HKLM and the common folders for everyone.
!macro UseMode
  ${If} $AllUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

!macro CheckAdmin
  StrCpy $IsAdmin 0
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $IsAdmin 1
  ${EndIf}
!macroend

!include "${__FILEDIR__}/path.nsh"

; --- the thumbnail provider -------------------------------------------------------------

; regsvr32 of the system's own width: a 64-bit DLL cannot be loaded into this 32-bit
; installer. $0 holds its arguments.
!macro RunRegsvr32
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    ExecWait '"$SYSDIR\regsvr32.exe" /s $0' $1
    ${EnableX64FSRedirection}
  ${Else}
    ExecWait '"$SYSDIR\regsvr32.exe" /s $0' $1
  ${EndIf}
!macroend

; --- install ----------------------------------------------------------------------------

Section "${PRODUCT}" SecMain
  SectionIn RO
  !insertmacro UseMode
  SetOutPath "$INSTDIR"
  ; Explorer may hold an earlier provider loaded: a loaded DLL can be renamed, not
  ; replaced, so it moves aside and goes at the next restart if it must.
  ${If} ${FileExists} "$INSTDIR\${THUMBNAILS}"
    StrCpy $0 '/u "$INSTDIR\${THUMBNAILS}"'
    !insertmacro RunRegsvr32
    Delete "$INSTDIR\${THUMBNAILS}.old"
    Rename "$INSTDIR\${THUMBNAILS}" "$INSTDIR\${THUMBNAILS}.old"
    Delete /REBOOTOK "$INSTDIR\${THUMBNAILS}.old"
  ${EndIf}

  File "/oname=zod-edozuv.exe" "${VIEWER}"
  File "/oname=intro.bmp" "${INTRO}"
  File "/oname=README.txt" "${README}"
  !ifdef CONVERTER
    File "/oname=zod-tvq.exe" "${CONVERTER}"
  !endif
  SetOutPath "$INSTDIR\Samples"
  !insertmacro InstallSamples
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    !ifdef THUMBNAILS_X64
      File "/oname=${THUMBNAILS}" "${THUMBNAILS_X64}"
    !endif
  ${Else}
    !ifdef THUMBNAILS_X86
      File "/oname=${THUMBNAILS}" "${THUMBNAILS_X86}"
    !endif
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${THUMBNAILS}"
    StrCpy $0 '"$INSTDIR\${THUMBNAILS}"'
    !insertmacro RunRegsvr32
    ${If} $1 != 0
      ; The viewer works without them: say so, and go on.
      DetailPrint "Thumbnails in Explorer could not be registered (regsvr32 answered $1)."
      MessageBox MB_ICONEXCLAMATION "Explorer will show no thumbnails of TVQ files: they could not be registered (regsvr32 answered $1). Everything else is installed." /SD IDOK
    ${EndIf}
  ${EndIf}

  ; The working folder is the install folder (the output path), where intro.bmp is.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zod-edozuv.exe" "" "$INSTDIR\zod-edozuv.exe" 0

  ; .tvq opens in the viewer; .bmp only offers it under "Open with".
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "TVQ image"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\zod-edozuv.exe,0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\zod-edozuv.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.tvq" "" "${PROGID}"
  WriteRegStr SHCTX "Software\Classes\.tvq" "PerceivedType" "image"
  WriteRegStr SHCTX "Software\Classes\.tvq\OpenWithProgids" "${PROGID}" ""
  WriteRegStr SHCTX "Software\Classes\${BMP_PROGID}" "" "Bitmap image (${PRODUCT})"
  WriteRegStr SHCTX "Software\Classes\${BMP_PROGID}\DefaultIcon" "" "$INSTDIR\zod-edozuv.exe,0"
  WriteRegStr SHCTX "Software\Classes\${BMP_PROGID}\shell\open\command" "" '"$INSTDIR\zod-edozuv.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.bmp\OpenWithProgids" "${BMP_PROGID}" ""
  WriteRegStr SHCTX "Software\Classes\Applications\zod-edozuv.exe" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "Software\Classes\Applications\zod-edozuv.exe\shell\open\command" "" '"$INSTDIR\zod-edozuv.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\Applications\zod-edozuv.exe\SupportedTypes" ".tvq" ""
  WriteRegStr SHCTX "Software\Classes\Applications\zod-edozuv.exe\SupportedTypes" ".bmp" ""
  ; SHCNE_ASSOCCHANGED, SHCNF_IDLIST
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zod-edozuv.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Add the install folder to PATH (for zod-tvq)" SecPath
  !insertmacro UseMode
  !insertmacro ReadPath
  ${If} ${Errors}
    DetailPrint "PATH is too long to change safely here; it was left as it was."
  ${Else}
    StrCpy $1 $INSTDIR
    Call PathWithout ; no second entry on an upgrade
    ${If} $0 == ""
      StrCpy $0 $INSTDIR
    ${Else}
      StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
    !insertmacro WritePath
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "The viewer, the zod-tvq converter, thumbnails in Explorer, the samples and a Start-menu shortcut; .tvq files open in the viewer."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Lets you run zod-tvq from any command prompt."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

!include "${__FILEDIR__}/mode.nsh"

; --- uninstall --------------------------------------------------------------------------

Function un.onInit
  !insertmacro CheckAdmin
  ; Machine-wide when the machine's entry names this folder.
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
    ${If} $IsAdmin = 0
      MessageBox MB_ICONSTOP "${PRODUCT} was installed for everyone on this computer: removing it needs an administrator." /SD IDOK
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      Quit
    ${EndIf}
  ${EndIf}
  !insertmacro UseMode
FunctionEnd

; Deletes a value of ours under Software\Classes\<key>, then the key if nothing is left in
; it: other programs may have written to the same key.
!macro RemoveClassesValue key value
  DeleteRegValue SHCTX "Software\Classes\${key}" "${value}"
  Push "Software\Classes\${key}"
  Call un.DeleteKeyIfEmpty
!macroend

Function un.DeleteKeyIfEmpty
  Exch $0
  Push $1
  ClearErrors
  EnumRegValue $1 SHCTX $0 0
  ${If} $1 == ""
    DeleteRegKey /ifempty SHCTX $0
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

Section "Uninstall"
  ${If} ${FileExists} "$INSTDIR\${THUMBNAILS}"
    StrCpy $0 '/u "$INSTDIR\${THUMBNAILS}"'
    !insertmacro RunRegsvr32
  ${EndIf}

  ; The PATH entry, whether or not this install added it: the folder goes away.
  !insertmacro ReadPath
  ${IfNot} ${Errors}
    StrCpy $3 $0
    StrCpy $1 $INSTDIR
    Call un.PathWithout
    ${If} $0 != $3
      !insertmacro WritePath
    ${EndIf}
  ${EndIf}

  ; .tvq keeps whatever another program put there.
  ReadRegStr $0 SHCTX "Software\Classes\.tvq" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue SHCTX "Software\Classes\.tvq" ""
    DeleteRegValue SHCTX "Software\Classes\.tvq" "PerceivedType"
  ${EndIf}
  !insertmacro RemoveClassesValue ".tvq\OpenWithProgids" "${PROGID}"
  Push "Software\Classes\.tvq"
  Call un.DeleteKeyIfEmpty
  !insertmacro RemoveClassesValue ".bmp\OpenWithProgids" "${BMP_PROGID}"
  Push "Software\Classes\.bmp"
  Call un.DeleteKeyIfEmpty
  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "Software\Classes\${BMP_PROGID}"
  DeleteRegKey SHCTX "Software\Classes\Applications\zod-edozuv.exe"
  Push "Software\Classes\Applications"
  Call un.DeleteKeyIfEmpty
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; Our files only: the folder may hold what the user put there. RARURI.ini is not here
  ; (it is the user's, in the Windows folder or its VirtualStore) and is never touched.
  Delete "$INSTDIR\zod-edozuv.exe"
  Delete "$INSTDIR\zod-tvq.exe"
  Delete "$INSTDIR\intro.bmp"
  Delete "$INSTDIR\README.txt"
  Delete /REBOOTOK "$INSTDIR\${THUMBNAILS}"
  Delete /REBOOTOK "$INSTDIR\${THUMBNAILS}.old"
  !insertmacro RemoveSamples
  RMDir "$INSTDIR\Samples"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
