; Skyvane's installer, built by makensis (see CMakeLists.txt beside this).
; It installs for the current user, without elevation, into a folder the
; program can write to: Skyvane writes Setup\ beside itself and Temp\ under
; its working folder, so every shortcut starts it in the install folder.
;
; makensis -DVERSION=1.02 -DPROGRAM=.../Skyvane.exe -DSKINS=.../Skins
;          -DOUTFILE=.../Skyvane-1.02-setup.exe skyvane.nsi

; A 64-bit installer for a 64-bit program; it also runs where Wine has no
; 32-bit side.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "WinMessages.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"

Name "Skyvane ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Skyvane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${SKINS}\Default.ico"
!define MUI_UNICON "${SKINS}\Default.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Skyvane.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a running Skyvane to close, so that its files can be replaced or
; removed; it saves nothing on the way out that it had not saved already.
!macro CloseSkyvane
  StrCpy $1 0
  ${Do}
    FindWindow $0 "Skyvane" "Skyvane"
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 200
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 25
!macroend

Section "Skyvane" SecProgram
  SectionIn RO
  !insertmacro CloseSkyvane
  SetOutPath "$INSTDIR"
  File "/oname=Skyvane.exe" "${PROGRAM}"
  SetOutPath "$INSTDIR\Skins"
  File /r "${SKINS}\*.*"
  CreateDirectory "$INSTDIR\Temp"
  ; The shortcut's working folder is the output path at its creation.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Skyvane.lnk" "$INSTDIR\Skyvane.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Skyvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Skyvane.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start with Windows" SecStartup
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMSTARTUP\Skyvane.lnk" "$INSTDIR\Skyvane.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The weather widget, its skin and a Start-menu shortcut."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} "Start Skyvane when you sign in."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  !insertmacro CloseSkyvane
  Delete "$SMPROGRAMS\Skyvane.lnk"
  Delete "$SMSTARTUP\Skyvane.lnk"
  Delete "$INSTDIR\Skyvane.exe"
  RMDir /r "$INSTDIR\Skins"
  RMDir /r "$INSTDIR\Temp"
  RMDir /r "$INSTDIR\Setup"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
