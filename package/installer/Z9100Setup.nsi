; Setup program of the Opticam Q7710C USB Camera software.
;
; Built by makensis from package/CMakeLists.txt with these defines:
;   TARGET       x86-ansi (what ships: an ANSI program that starts on 98/ME/2000/XP)
;                or amd64-unicode (the same script for test prefixes that run 64-bit code only)
;   BIN_DIR      the build's bin/ folder (Z9100Mnt.exe, Z9100Dex.dll, Z9100Twn.dll, Z9100Rmv.dll,
;                Z9100Cam.ds, Z9100LAp.exe)
;   DRIVER_DIR   the folder holding the camera maker's kernel driver Z9100KNT.sys
;   PACKAGE_DIR  this package/ folder (driver INF, language files)
;   OUT_FILE     the setup program to write
;
; Exit codes: 0 installed; 1 cancelled by the user; 2 refused (unsupported
; system, a folder that cannot be written); nothing is changed when refused.

Target ${TARGET}
!if "${TARGET}" == "x86-ansi"
  Unicode false
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!if "${TARGET}" == "x86-ansi"
  !include x64.nsh
!endif

!define PRODUCT "Opticam Q7710C USB Camera"
!define VERSION "1.0.0.0"
!define SETTINGS_KEY "Software\RidEva\Z9100"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APP_PATHS_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\YouCam"
!define ADD_REMOVE_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\{FC9B811E-39BC-4813-9E29-B83CCF700010}"
!define HARDWARE_ID "USB\VID_FFF1&PID_A14C&MI_00"
!define DEVICE_ID "VID_FFF1&PID_A14C"
!define FRIENDLY_NAME "Opticam, Q7710C USB Camera"
!define MONITOR_CLASS "Z9100MntWndClass"
!define MONITOR_TITLE "Z9100Mnt"
!define SHORTCUT "Y4200LAp.lnk"
; The uninstaller of the 9x family, where Z9100Rmv.dll removes nothing.
!define UNINSTALLER_9X "Z9100Uns.exe"
; The driver package as kept beside the monitor. Windows names its copy in
; <WINDIR>\inf oem<n>.inf; Wine keeps the file's own name, so the name carries
; "OEM" too: Z9100Rmv.dll removes only packages whose name does.
!define STAGED_INF "Z9100Oem.inf"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
SetOverwrite on
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "RidEva"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "RidEva"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs the software of the ${PRODUCT}: the snapshot button monitor, the camera's property pages, its TWAIN capture dialog and the camera application.$\r$\n$\r$\nPlug in the camera before you go on, or afterwards: either way its driver is set up.$\r$\n$\r$\nClick Install to go on."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var MonitorWasRunning
Var NtFamily
Var MadeProgramDir
Var MadeTwainDir

; $0 = 1 on Windows 98, ME, 2000 or XP (also XP x64 and Server 2003), else 0;
; $NtFamily = 1 on the NT family.
!macro CheckSystem
  System::Call 'kernel32::GetVersion() i .r1'
  IntOp $2 $1 & 0xFF
  IntOp $3 $1 >> 8
  IntOp $3 $3 & 0xFF
  IntOp $4 $1 & 0x80000000
  StrCpy $0 0
  ${If} $4 == 0
    StrCpy $NtFamily 1
    ${If} $2 == 5
      StrCpy $0 1
    ${EndIf}
  ${Else}
    StrCpy $NtFamily 0
    ${If} $2 == 4
    ${AndIf} $3 == 10
      StrCpy $0 1
    ${ElseIf} $2 == 4
    ${AndIf} $3 == 90
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  !insertmacro CheckSystem
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "Unsupport windows version. This program only supports window 98/ME/2000/XP." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  StrCpy $INSTDIR "$WINDIR\RidEva\Z9100"
FunctionEnd

; $R2 = 1 when no file can be created in folder $R0 (an error flag would not
; last: every test of it clears it).
Function ProbeFolder
  StrCpy $R2 1
  ClearErrors
  FileOpen $R1 "$R0\Z9100Setup.tmp" w
  IfErrors done
  FileClose $R1
  Delete "$R0\Z9100Setup.tmp"
  StrCpy $R2 0
done:
FunctionEnd

; Closes a running monitor (it holds Z9100Mnt.exe open) and waits until its
; window is gone, at most 5 s.
Function StopMonitor
  StrCpy $MonitorWasRunning 0
  FindWindow $R0 "${MONITOR_CLASS}" "${MONITOR_TITLE}"
  ${If} $R0 == 0
    Return
  ${EndIf}
  StrCpy $MonitorWasRunning 1
  DetailPrint "Closing the running button monitor"
  SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
  StrCpy $R1 0
  ${Do}
    Sleep 100
    IntOp $R1 $R1 + 1
    FindWindow $R0 "${MONITOR_CLASS}" "${MONITOR_TITLE}"
    ${If} $R1 >= 50
      ${ExitDo}
    ${EndIf}
  ${LoopUntil} $R0 == 0
  ; The window is gone before the process has ended and let go of its file.
  Sleep 500
FunctionEnd

; A DWORD value of the settings key that the user or another program may have
; tuned: kept when an earlier installation left a number there, else written.
!macro KeepOrWriteDword name default
  ClearErrors
  ReadRegDWORD $R0 HKLM "${SETTINGS_KEY}" "${name}"
  ${If} ${Errors}
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "${name}" ${default}
  ${EndIf}
!macroend

Section "-Install"
  ; Everything is checked before anything is changed.
  ${IfNot} ${FileExists} "$WINDIR\RidEva\Z9100\*.*"
    StrCpy $MadeProgramDir 1
  ${EndIf}
  ${IfNot} ${FileExists} "$WINDIR\TWAIN_32\Z9100\*.*"
    StrCpy $MadeTwainDir 1
  ${EndIf}
  CreateDirectory "$INSTDIR"
  CreateDirectory "$WINDIR\TWAIN_32\Z9100"
  CreateDirectory "$WINDIR\System"
  StrCpy $R0 "$INSTDIR"
  Call ProbeFolder
  ${If} $R2 == 0
    StrCpy $R0 "$WINDIR\TWAIN_32\Z9100"
    Call ProbeFolder
  ${EndIf}
  ${If} $R2 == 0
    StrCpy $R0 "$WINDIR\System"
    Call ProbeFolder
  ${EndIf}
  ${If} $R2 != 0
    ${If} $MadeTwainDir == 1
      RMDir "$WINDIR\TWAIN_32\Z9100"
    ${EndIf}
    ${If} $MadeProgramDir == 1
      RMDir "$INSTDIR"
      RMDir "$WINDIR\RidEva"
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "Setup cannot write to the folder $R0. Nothing was installed.$\r$\nMake the folder writable (or sign in as an administrator) and run Setup again." /SD IDOK
    SetErrorLevel 2
    Abort "Cannot write to $R0"
  ${EndIf}

  Call StopMonitor

  DetailPrint "Copying the program files"
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/Z9100Mnt.exe"
  File "${PACKAGE_DIR}/lang/LG*.dat"
  File "/oname=${STAGED_INF}" "${PACKAGE_DIR}/driver/Z9100.inf"
  File "${DRIVER_DIR}/Z9100KNT.sys"
  SetOutPath "$WINDIR\TWAIN_32\Z9100"
  File "${BIN_DIR}/Z9100Twn.dll"
  File "${BIN_DIR}/Z9100Cam.ds"
  SetOutPath "$WINDIR\System"
  File "${BIN_DIR}/Z9100Dex.dll"
  File "${BIN_DIR}/Z9100Rmv.dll"
  File "${BIN_DIR}/Z9100LAp.exe"
  SetOutPath "$INSTDIR"

  DetailPrint "Registering the property pages"
  ClearErrors
  RegDLL "$WINDIR\System\Z9100Dex.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "The camera's property pages could not be registered (Z9100Dex.dll)." /SD IDOK
  ${EndIf}

  DetailPrint "Writing the settings"
  ; The programs open the settings key in the 64-bit view wherever the system
  ; is 64-bit (KEY_WOW64_64KEY), and the uninstaller deletes the settings, the
  ; Run value and the Add/Remove entry through that same view: all three are
  ; written there. App Paths stays in this program's view, where the monitor
  ; reads it and the uninstaller deletes it. (A 64-bit build writes the 64-bit
  ; view already.)
!if "${TARGET}" == "x86-ansi"
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!endif
  WriteRegStr HKLM "${SETTINGS_KEY}" "DeviceId" "${DEVICE_ID}"
  WriteRegStr HKLM "${SETTINGS_KEY}" "FriendlyName" "${FRIENDLY_NAME}"
  WriteRegStr HKLM "${SETTINGS_KEY}" "LangFilePath" "$INSTDIR"
  ; The system's language when a file for it is installed, else English.
  System::Call 'kernel32::GetSystemDefaultLangID() i .r0'
  IntOp $0 $0 & 0xFFFF
  ${IfNot} ${FileExists} "$INSTDIR\LG$0.dat"
    StrCpy $0 1033
  ${EndIf}
  WriteRegDWORD HKLM "${SETTINGS_KEY}" "MultiLangID" $0
  ; Status values: nothing is pending after an installation.
  WriteRegDWORD HKLM "${SETTINGS_KEY}" "DeviceStatus" 0
  WriteRegDWORD HKLM "${SETTINGS_KEY}" "AudioStatus" 0
  !insertmacro KeepOrWriteDword "PlaySound" 0
  !insertmacro KeepOrWriteDword "MSNNotifySupport" 0
  !insertmacro KeepOrWriteDword "DefaultFlip" 0
  !insertmacro KeepOrWriteDword "PropertyPage" 0

  WriteRegStr HKLM "${RUN_KEY}" "Z9100Mnt" '"$INSTDIR\Z9100Mnt.exe"'

  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "Publisher" "RidEva"
  WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "NoRepair" 1
  ${If} $NtFamily == 1
    WriteRegStr HKLM "${ADD_REMOVE_KEY}" "UninstallString" "rundll32.exe $WINDIR\System\Z9100Rmv.dll,WinMainRmv"
  ${Else}
    WriteUninstaller "$WINDIR\System\${UNINSTALLER_9X}"
    WriteRegStr HKLM "${ADD_REMOVE_KEY}" "UninstallString" '"$WINDIR\System\${UNINSTALLER_9X}"'
  ${EndIf}
  SetRegView default

  WriteRegStr HKLM "${APP_PATHS_KEY}" "" "$WINDIR\System\Z9100LAp.exe"
  CreateShortCut "$SMPROGRAMS\${SHORTCUT}" "$WINDIR\System\Z9100LAp.exe" "" "$WINDIR\System\Z9100LAp.exe" 0

  ; The driver package: staged for cameras plugged in later, and given at once
  ; to a camera that is plugged in now.
  DetailPrint "Setting up the camera driver"
  System::Call 'setupapi::SetupCopyOEMInf(t "$INSTDIR\${STAGED_INF}", t "$INSTDIR", i 1, i 0, p 0, i 0, p 0, p 0) i .r0 ?e'
  Pop $1
  ${If} $0 == 0
    DetailPrint "The driver package could not be staged (error $1)"
  ${EndIf}
  ${If} $NtFamily == 1
    System::Call 'newdev::UpdateDriverForPlugAndPlayDevices(p $HWNDPARENT, t "${HARDWARE_ID}", t "$INSTDIR\${STAGED_INF}", i 1, *i .r2) i .r0 ?e'
    Pop $1
    ${If} $0 != 0
      DetailPrint "The plugged-in camera now uses this driver"
    ${ElseIf} $1 = 0xE000020B
      DetailPrint "No camera is plugged in: it gets its driver when it is"
    ${Else}
      DetailPrint "The plugged-in camera could not be updated (error $1)"
    ${EndIf}
  ${EndIf}

  ${If} $MonitorWasRunning == 1
    Exec '"$INSTDIR\Z9100Mnt.exe"'
  ${EndIf}
SectionEnd

; Only on the 9x family, where Z9100Rmv.dll leaves everything in place.
Section "Uninstall"
  FindWindow $R0 "${MONITOR_CLASS}" "${MONITOR_TITLE}"
  ${If} $R0 != 0
    SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    Sleep 1500
  ${EndIf}
  UnRegDLL "$WINDIR\System\Z9100Dex.dll"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\RidEva"
  DeleteRegValue HKLM "${RUN_KEY}" "Z9100Mnt"
  DeleteRegKey HKLM "${APP_PATHS_KEY}"
  DeleteRegKey HKLM "${ADD_REMOVE_KEY}"
  DeleteRegKey HKLM "SYSTEM\CurrentControlSet\Control\MediaSets\{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$WINDIR\RidEva\Z9100\Z9100Mnt.exe"
  Delete "$WINDIR\RidEva\Z9100\LG*.dat"
  Delete "$WINDIR\RidEva\Z9100\${STAGED_INF}"
  Delete "$WINDIR\RidEva\Z9100\Z9100KNT.sys"
  Delete "$WINDIR\TWAIN_32\Z9100\Z9100Twn.dll"
  Delete "$WINDIR\TWAIN_32\Z9100\Z9100Cam.ds"
  Delete "$WINDIR\System\Z9100Dex.dll"
  Delete "$WINDIR\System\Z9100Rmv.dll"
  Delete "$WINDIR\System\Z9100LAp.exe"
  Delete /REBOOTOK "$WINDIR\System\${UNINSTALLER_9X}"
  RMDir "$WINDIR\RidEva\Z9100"
  RMDir "$WINDIR\RidEva"
  RMDir "$WINDIR\TWAIN_32\Z9100"
SectionEnd
