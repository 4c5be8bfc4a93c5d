; Skyvane's installer, built by makensis (see CMakeLists.txt beside this).
; It installs for the current user, without elevation, into a folder of its
; own that the program can write to: Skyvane keeps Setup\ beside itself and
; Temp\ under its working folder, so every shortcut starts it there.
;
; What the user made is never ours to remove: Setup\ (the places and the
; unit) survives upgrades and, unless the user asks, the uninstall; the
; uninstaller removes the files it installed by name and a folder only once
; it is empty.
;
; makensis -DVERSION=1.02 -DVERSION_QUAD=1.2.0.0 -DPUBLISHER=... -DCOPYRIGHT=...
;          -DPROGRAM=.../Skyvane.exe -DSERVICE_PROGRAM=.../skyvane-service.exe
;          -DWORLD_DATA=.../world.img -DSKINS=.../Skins -DSKIN_FILES=.../skin_files.nsh
;          -DSERVICE=http://127.0.0.1:8642 -DOUTFILE=.../Skyvane-1.02-setup.exe skyvane.nsi
;
; Command line, beside /S and /D=folder: /SERVICE=address writes the weather
; service's address; /STARTUP=yes|no ticks or unticks "Start with Windows".
; The uninstaller takes /REMOVESETTINGS, the box "Also remove my settings and
; locations".

; A 64-bit installer for a 64-bit program; it also runs where Wine has no
; 32-bit side.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "WinMessages.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "${SKIN_FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
!define SETTINGS_FILE "$INSTDIR\Setup\Setup.ini"
; How long a running Skyvane has to end after WM_CLOSE.
!define CLOSE_WAIT_MS 10000

Name "Skyvane ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Skyvane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
; A file that cannot be replaced stops the installation instead of being
; skipped, so that a half-upgraded folder never reports success.
AllowSkipFiles off

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "Skyvane"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey "FileDescription" "Skyvane installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"

Var Service         ; the address to keep in Setup.ini; empty: leave it be
Var ServiceField
Var RemoveSettings  ; 1 when the user asks for Setup\ to go too
Var RemoveSettingsBox
Var StillRunning    ; set by CloseSkyvane

!define MUI_ICON "${SKINS}\Default.ico"
!define MUI_UNICON "${SKINS}\Default.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Skyvane.exe"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Skyvane is installed in a folder of its own, named Skyvane; if you choose another folder, a Skyvane folder is made inside it. Your settings and places, in its Setup folder, are kept when you install over an earlier version."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DedicateFolder
!insertmacro MUI_PAGE_DIRECTORY
Page custom ServicePage ServicePageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
UninstPage custom un.OptionsPage un.OptionsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- Shared by the installer and the uninstaller -------------------------

; Asks the Skyvane that runs from $INSTDIR, if any, to close (WM_CLOSE to its
; window) and waits for its process to end. Skyvanes run from other folders
; are left alone. $StillRunning is 1 when ours is still there afterwards, or
; when its program file is still in use.
!macro DEFINE_CLOSE_SKYVANE un
Function ${un}CloseSkyvane
  StrCpy $StillRunning 0
  StrCpy $0 0
  ${Do}
    FindWindow $0 "Skyvane" "" 0 $0
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r1) p .r2'
    ${If} $2 P<> 0
      System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})'
      ${If} $3 == "$INSTDIR\Skyvane.exe"
        DetailPrint "Closing Skyvane"
        System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
        System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS}) i .r4'
        ${If} $4 == 0
          StrCpy $0 0  ; its window is gone: look again from the start
        ${Else}
          StrCpy $StillRunning 1
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${Loop}
  ; The weather service lives in the program's job and ends with it, a
  ; moment later; one started by hand from here would hold its file too.
  ${If} $StillRunning == 0
  ${AndIf} ${FileExists} "$INSTDIR\skyvane-service.exe"
    StrCpy $1 0
    ${Do}
      ClearErrors
      FileOpen $0 "$INSTDIR\skyvane-service.exe" a
      ${IfNot} ${Errors}
        FileClose $0
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
      ${If} $1 >= 50
        StrCpy $StillRunning 1
        ${Break}
      ${EndIf}
      Sleep 100
    ${Loop}
  ${EndIf}
  ; A Skyvane whose window was not found (still starting, or stuck before
  ; making it) holds its program file open on Windows.
  ${If} $StillRunning == 0
  ${AndIf} ${FileExists} "$INSTDIR\Skyvane.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\Skyvane.exe" a
    ${If} ${Errors}
      StrCpy $StillRunning 1
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_SKYVANE ""
!insertmacro DEFINE_CLOSE_SKYVANE "un."

; --- The installer ---------------------------------------------------------

; The folder always ends in Skyvane, so that nothing of the user's lies in
; it, whatever folder was picked or given with /D=. A folder that holds a
; Skyvane.exe already is an earlier installation, upgraded where it lies, as
; its settings are there.
Function DedicateFolder
  ${DoWhile} $INSTDIR != ""
    StrCpy $0 $INSTDIR 1 -1
    ${If} $0 != "\"
    ${AndIf} $0 != "/"
      ${Break}
    ${EndIf}
    StrCpy $INSTDIR $INSTDIR -1
  ${Loop}
  ${GetFileName} $INSTDIR $0
  ${If} $0 != "Skyvane"
  ${AndIfNot} ${FileExists} "$INSTDIR\Skyvane.exe"
    StrCpy $INSTDIR "$INSTDIR\Skyvane"
  ${EndIf}
FunctionEnd

; Pops an address and pushes it back as the program takes it, or "" when the
; program would ignore it: http:// or https://, a host (a name, an IPv4
; address or a bracketed IPv6 address), an optional port and an optional path
; that does not end in a slash, at most 200 bytes in all. One trailing slash is
; dropped, as people often type one.
!define ALNUM "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
; $2 = how many leading characters of $1 are among `set`.
!macro SPAN set
  System::Call 'shlwapi::StrSpnW(w r1, w "${set}") i .r2'
!macroend
Function CheckAddress
  Exch $0
  Push $1  ; what is left to read
  Push $2
  Push $3
  StrCpy $1 $0 1 -1
  ${If} $1 == "/"
    StrCpy $0 $0 -1
  ${EndIf}
  StrCpy $1 ""
  StrCpy $2 $0 7
  ${If} $2 S== "http://"
    StrCpy $1 $0 "" 7
  ${Else}
    StrCpy $2 $0 8
    ${If} $2 S== "https://"
      StrCpy $1 $0 "" 8
    ${EndIf}
  ${EndIf}
  StrLen $2 $0
  ${If} $1 == ""
  ${OrIf} $2 > 200
    Goto refused
  ${EndIf}
  StrCpy $2 $1 1
  ${If} $2 == "["
    StrCpy $1 $1 "" 1
    !insertmacro SPAN "${ALNUM}:."
    StrCpy $3 $1 1 $2
    ${If} $2 == 0
    ${OrIf} $3 != "]"
      Goto refused
    ${EndIf}
    IntOp $2 $2 + 1
  ${Else}
    !insertmacro SPAN "${ALNUM}.-"
    ${If} $2 == 0
      Goto refused
    ${EndIf}
  ${EndIf}
  StrCpy $1 $1 "" $2
  StrCpy $2 $1 1
  ${If} $2 == ":"
    StrCpy $1 $1 "" 1
    !insertmacro SPAN "0123456789"
    ${If} $2 == 0
    ${OrIf} $2 > 5
      Goto refused
    ${EndIf}
    StrCpy $1 $1 "" $2
  ${EndIf}
  ${If} $1 != ""
    StrCpy $2 $1 1
    StrCpy $3 $1 1 -1
    ${If} $2 != "/"
    ${OrIf} $3 == "/"
      Goto refused
    ${EndIf}
    !insertmacro SPAN "${ALNUM}/.-_~"
    StrLen $3 $1
    ${If} $2 != $3
      Goto refused
    ${EndIf}
  ${EndIf}
  Goto done
refused:
  StrCpy $0 ""
done:
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Pushes the value of /SERVICE= on the command line, up to the next space,
; and sets the error flag when there is none: ${GetOptions} would cut the
; address at its first slash.
Function ServiceOption
  Push $0
  Push $1
  Push $2
  Push $3
  ${GetParameters} $0
  StrCpy $0 " $0"
  StrCpy $1 0
  StrCpy $3 ""
  ${Do}
    StrCpy $2 $0 10 $1
    ${If} $2 == ""
      SetErrors
      ${Break}
    ${ElseIf} $2 == " /SERVICE="
      IntOp $1 $1 + 10
      StrCpy $3 $0 "" $1
      StrCpy $1 0
      ${Do}
        StrCpy $2 $3 1 $1
        ${If} $2 == ""
        ${OrIf} $2 == " "
          ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
      ${Loop}
      StrCpy $3 $3 $1
      ClearErrors
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
  Exch $3
FunctionEnd

!define REFUSED_ADDRESS "The weather service's address must be http:// or https:// followed by the host name and, if needed, a port and a path, for example https://weather.example.net or http://127.0.0.1:8642."

Function ServicePage
  !insertmacro MUI_HEADER_TEXT "Weather service" "Where Skyvane fetches places and their weather."
  nsDialogs::Create 1018
  Pop $0
  ${If} $Service == ""
    ReadINIStr $Service "${SETTINGS_FILE}" "Service" "BaseUrl"
  ${EndIf}
  ${If} $Service == ""
    StrCpy $Service "${SERVICE}"
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "Skyvane asks this weather service for places and their weather. Give its address: http:// or https:// and the host name, with a port and a path if it needs them. The usual service is ${SERVICE}."
  Pop $0
  ${NSD_CreateText} 0 44u 100% 12u "$Service"
  Pop $ServiceField
  nsDialogs::Show
FunctionEnd

Function ServicePageLeave
  ${NSD_GetText} $ServiceField $0
  Push $0
  Call CheckAddress
  Pop $1
  ${If} $1 == ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "${REFUSED_ADDRESS}"
    Abort
  ${EndIf}
  StrCpy $Service $1
FunctionEnd

; Setup.ini is the user's: it is touched only when the address changes, and
; then only its [Service] BaseUrl line. The build's own address is the
; program's default, so it is not written; choosing it again removes an
; address set earlier.
Function WriteServiceAddress
  ${If} $Service == ""
    Return
  ${EndIf}
  ReadINIStr $0 "${SETTINGS_FILE}" "Service" "BaseUrl"
  ClearErrors
  ${If} $Service S== "${SERVICE}"
    ${If} $0 != ""
      DeleteINIStr "${SETTINGS_FILE}" "Service" "BaseUrl"
    ${EndIf}
  ${ElseIf} $Service S!= $0
    CreateDirectory "$INSTDIR\Setup"
    WriteINIStr "${SETTINGS_FILE}" "Service" "BaseUrl" $Service
  ${EndIf}
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "The weather service's address could not be written to ${SETTINGS_FILE}." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
FunctionEnd

Section "Skyvane" SecProgram
  SectionIn RO
  Call CloseSkyvane
  ${If} $StillRunning == 1
    MessageBox MB_OK|MB_ICONSTOP "Skyvane is still running from $INSTDIR and did not close. Choose Exit in its tray menu, then run the installer again. Nothing was changed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=Skyvane.exe" "${PROGRAM}"
  File "/oname=skyvane-service.exe" "${SERVICE_PROGRAM}"
  SetOutPath "$INSTDIR\data"
  File "/oname=world.img" "${WORLD_DATA}"
  ; The towns' text that versions before the image shipped.
  Delete "$INSTDIR\data\world.tsv"
  !insertmacro InstallSkins
  CreateDirectory "$INSTDIR\Temp"
  ; The shortcut's working folder is the output path at its creation.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Skyvane.lnk" "$INSTDIR\Skyvane.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  Call WriteServiceAddress
SectionEnd

Section "Start with Windows" SecStartup
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMSTARTUP\Skyvane.lnk" "$INSTDIR\Skyvane.exe"
SectionEnd

Section "-Entry"
  ; An upgrade with the box unticked takes away the shortcut made before.
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    Delete "$SMSTARTUP\Skyvane.lnk"
  ${EndIf}
  SectionGetSize ${SecProgram} $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Skyvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Skyvane.exe,0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; After the sections, whose numbers it uses.
Function .onInit
  Call ServiceOption
  Pop $R1
  ${IfNot} ${Errors}
    Push $R1
    Call CheckAddress
    Pop $Service
    ${If} $Service == ""
      MessageBox MB_OK|MB_ICONSTOP "${REFUSED_ADDRESS}$\n$\nGiven: $R1" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
  Call DedicateFolder
  ; Over an installation, the box starts as the user left it.
  ${If} ${FileExists} "$INSTDIR\Skyvane.exe"
  ${AndIfNot} ${FileExists} "$SMSTARTUP\Skyvane.lnk"
    !insertmacro UnselectSection ${SecStartup}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/STARTUP=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == "no"
      !insertmacro UnselectSection ${SecStartup}
    ${Else}
      !insertmacro SelectSection ${SecStartup}
    ${EndIf}
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The weather widget, its skin and a Start-menu shortcut."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} "Start Skyvane when you sign in."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; --- The uninstaller -------------------------------------------------------

Function un.onInit
  StrCpy $RemoveSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Function un.OptionsPage
  !insertmacro MUI_HEADER_TEXT "Uninstall Skyvane" "Remove Skyvane from this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 40u "Skyvane will be removed from $INSTDIR. Your places and settings, in its Setup folder, are kept, so that installing Skyvane there again starts where you left off. Files of your own in the folder are kept too."
  Pop $0
  ${NSD_CreateCheckbox} 0 48u 100% 12u "Also remove my settings and locations"
  Pop $RemoveSettingsBox
  ${If} $RemoveSettings == 1
    ${NSD_Check} $RemoveSettingsBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.OptionsPageLeave
  ${NSD_GetState} $RemoveSettingsBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemoveSettings 1
  ${Else}
    StrCpy $RemoveSettings 0
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseSkyvane
  ${If} $StillRunning == 1
    MessageBox MB_OK|MB_ICONSTOP "Skyvane is still running from $INSTDIR and did not close. Choose Exit in its tray menu, then run the uninstaller again. Nothing was removed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\Skyvane.exe"
  Delete "$INSTDIR\skyvane-service.exe"
  Delete "$INSTDIR\data\world.img"
  Delete "$INSTDIR\data\world.tsv"
  RMDir "$INSTDIR\data"
  !insertmacro RemoveSkins
  ; The download cache: the program's files only, never a folder in it.
  Delete "$INSTDIR\Temp\*.*"
  RMDir "$INSTDIR\Temp"
  ${If} $RemoveSettings == 1
    Delete "${SETTINGS_FILE}"
    RMDir "$INSTDIR\Setup"
  ${EndIf}
  ; The shortcuts and the entry belong to the latest installation; an older
  ; copy elsewhere leaves them to it.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == $INSTDIR
    Delete "$SMPROGRAMS\Skyvane.lnk"
    Delete "$SMSTARTUP\Skyvane.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
