; Marlet's installer and uninstaller.
;
; Built by installer/CMakeLists.txt:
;   makensis -DARCH=x64|x86 -DVERSION=1.0.0 -DMARLET_EXE=... -DMANUAL_PDF=... -DICON=...
;            -DOUTFILE=... MarletSetup.nsi
;
; Installs marlet.exe and QBManual.pdf, registers Marlet's COM classes
; (marlet.exe /regserver), and creates dxqb.ini beside the exe when there is
; none: marlet.exe only ever rewrites that file, so without it no setting would
; survive. An existing dxqb.ini is never touched, so an upgrade keeps the
; user's settings. Optionally adds the QuickBooks menu (marlet.exe /install).
;
; Silent use:
;   MarletSetup.exe /S [/DXPATH=folder] [/CONFIGPATH=folder] [/ADDMENU] [/D=install folder]
;   uninstall.exe /S [/KEEPSETTINGS] [/KEEPMENU]
; A folder with blanks is given in double quotes; /D= comes last, unquoted.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef ARCH
  !define ARCH x64
!endif
!ifndef VERSION
  !define VERSION 1.0.0
!endif

!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES64"
  !define PRODUCT "Marlet"
  !define WHICH_QUICKBOOKS "This Marlet is for QuickBooks 2022 and later. For QuickBooks releases before 2022 use the 32-bit Marlet (MarletSetup32.exe)."
!else
  Target x86-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES"
  !define PRODUCT "Marlet (32-bit)"
  !define WHICH_QUICKBOOKS "This 32-bit Marlet is for QuickBooks releases before 2022. For QuickBooks 2022 and later use MarletSetup.exe."
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marlet"

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS_FOLDER}\Marlet"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Marlet"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Marlet"
VIAddVersionKey "LegalCopyright" "Marlet"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} on your computer.$\r$\n$\r$\nMarlet adds Scan Documents, Retrieve Documents, Options and Manual to the QuickBooks File menu and files your scanned documents in Dorvex under the customer or transaction open in QuickBooks.$\r$\n$\r$\n${WHICH_QUICKBOOKS}$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\QBManual.pdf"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the Marlet manual"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom FoldersPage FoldersPageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.ChoicesPage un.ChoicesPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var DxPath          ; the Dorvex folder, as dxqb.ini's second line will hold it
Var ConfigPath      ; the configuration folder, the third line
Var DxPathBox
Var ConfigPathBox
Var KeepSettings    ; uninstaller: 1 keeps dxqb.ini
Var RemoveMenu      ; uninstaller: 1 runs marlet.exe /uninstall
Var KeepSettingsBox
Var RemoveMenuBox

; --- helpers

; Appends "\" to the text on the stack unless it is empty or ends in one.
Function TrailingBackslash
  Exch $0
  Push $1
  ${If} $0 != ""
    StrCpy $1 $0 1 -1
    ${If} $1 != "\"
      StrCpy $0 "$0\"
    ${EndIf}
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; The six lines marlet.exe reads, in the system's ANSI code page, each ended
; by CR LF: displayTwain, dxPath, configPath, displayDorvex, promptMemo, debugMode.
Function WriteOptionsFile
  ClearErrors
  FileOpen $0 "$INSTDIR\dxqb.ini" w
  ${If} ${Errors}
    DetailPrint "Could not create $INSTDIR\dxqb.ini"
    SetErrorLevel 2
    Abort "Could not create $INSTDIR\dxqb.ini"
  ${EndIf}
  FileWrite $0 "False$\r$\n"
  FileWrite $0 "$DxPath$\r$\n"
  FileWrite $0 "$ConfigPath$\r$\n"
  FileWrite $0 "False$\r$\n"
  FileWrite $0 "False$\r$\n"
  FileWrite $0 "False$\r$\n"
  FileClose $0
  DetailPrint "Created dxqb.ini"
FunctionEnd

; --- the Dorvex folders page (skipped when dxqb.ini exists: it is kept as it is)

Function FoldersPage
  ${If} ${FileExists} "$INSTDIR\dxqb.ini"
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Dorvex folders" "Where Marlet finds Dorvex and its scan and retrieval configurations."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 20u "Folder that holds Dorvex.exe:"
  Pop $0
  ${NSD_CreateDirRequest} 0 20u 75% 12u "$DxPath"
  Pop $DxPathBox
  ${NSD_CreateBrowseButton} 78% 19u 22% 14u "Browse..."
  Pop $0
  nsDialogs::SetUserData $0 "dx"
  ${NSD_OnClick} $0 BrowseFolder
  ${NSD_CreateLabel} 0 48u 100% 20u "Folder that holds the scan and retrieval configurations (qbscan.dxc, qbscan_no_txn.dxc, qbretrieve.dxc):"
  Pop $0
  ${NSD_CreateDirRequest} 0 70u 75% 12u "$ConfigPath"
  Pop $ConfigPathBox
  ${NSD_CreateBrowseButton} 78% 69u 22% 14u "Browse..."
  Pop $0
  nsDialogs::SetUserData $0 "config"
  ${NSD_OnClick} $0 BrowseFolder
  ${NSD_CreateLabel} 0 98u 100% 30u "Both can be changed later in Marlet's Options dialog."
  Pop $0
  nsDialogs::Show
FunctionEnd

Function BrowseFolder
  Pop $0
  nsDialogs::GetUserData $0
  Pop $1
  ${If} $1 == "dx"
    StrCpy $2 $DxPathBox
    StrCpy $3 "Please select the folder where your Dorvex executable is located"
  ${Else}
    StrCpy $2 $ConfigPathBox
    StrCpy $3 "Please select the folder where you installed the QuickBooks Module configurations"
  ${EndIf}
  ${NSD_GetText} $2 $4
  nsDialogs::SelectFolderDialog "$3" "$4"
  Pop $4
  ${If} $4 != "error"
    ${NSD_SetText} $2 $4
  ${EndIf}
FunctionEnd

Function FoldersPageLeave
  ${NSD_GetText} $DxPathBox $DxPath
  ${NSD_GetText} $ConfigPathBox $ConfigPath
  Push $DxPath
  Call TrailingBackslash
  Pop $DxPath
  Push $ConfigPath
  Call TrailingBackslash
  Pop $ConfigPath
  StrCpy $1 $DxPath
  ${If} $1 != ""
  ${AndIfNot} ${FileExists} "$1Dorvex.exe"
    MessageBox MB_YESNO|MB_ICONQUESTION "Dorvex.exe was not found in $DxPath.$\r$\n$\r$\nUse this folder anyway?" IDYES +2
    Abort
  ${EndIf}
FunctionEnd

; --- sections

Section "Marlet" SecMarlet
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=marlet.exe" "${MARLET_EXE}"
  File "/oname=QBManual.pdf" "${MANUAL_PDF}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} ${FileExists} "$INSTDIR\dxqb.ini"
    DetailPrint "Keeping the existing dxqb.ini"
  ${Else}
    Call WriteOptionsFile
  ${EndIf}

  DetailPrint "Registering Marlet"
  ExecWait '"$INSTDIR\marlet.exe" /regserver' $0
  ${If} $0 != 0
    SetErrorLevel 2
    Abort "marlet.exe /regserver failed ($0)"
  ${EndIf}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marlet"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\marlet.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Add Marlet to the QuickBooks File menu" SecMenu
  ; Marlet shows the outcome in its own message box.
  DetailPrint "Adding the Marlet entries to the QuickBooks File menu"
  ExecWait '"$INSTDIR\marlet.exe" /install'
SectionEnd

Function .onInit
!if "${ARCH}" == "x64"
  SetRegView 64
!endif
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DXPATH=" $DxPath
  ${GetOptions} $R0 "/CONFIGPATH=" $ConfigPath
  Push $DxPath
  Call TrailingBackslash
  Pop $DxPath
  Push $ConfigPath
  Call TrailingBackslash
  Pop $ConfigPath
  ${If} ${Silent}
    ClearErrors
    ${GetOptions} $R0 "/ADDMENU" $R1
    ${If} ${Errors}
      SectionGetFlags ${SecMenu} $R1
      IntOp $R1 $R1 & ${SECTION_OFF}
      SectionSetFlags ${SecMenu} $R1
    ${EndIf}
  ${EndIf}
FunctionEnd

; --- uninstaller

Function un.onInit
!if "${ARCH}" == "x64"
  SetRegView 64
!endif
  StrCpy $KeepSettings 0
  StrCpy $RemoveMenu 1
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/KEEPSETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $KeepSettings 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/KEEPMENU" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveMenu 0
  ${EndIf}
FunctionEnd

Function un.ChoicesPage
  !insertmacro MUI_HEADER_TEXT "Remove Marlet" "What to remove besides the program."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "Remove the Marlet entries from the QuickBooks File menu"
  Pop $RemoveMenuBox
  ${If} $RemoveMenu == 1
    ${NSD_Check} $RemoveMenuBox
  ${EndIf}
  ${NSD_CreateLabel} 12u 14u 95% 24u "QuickBooks should be running with your company file open. Marlet shows the outcome in a message."
  Pop $0
  ${NSD_CreateCheckbox} 0 46u 100% 12u "Keep my settings (dxqb.ini) for a later installation"
  Pop $KeepSettingsBox
  ${If} $KeepSettings == 1
    ${NSD_Check} $KeepSettingsBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.ChoicesPageLeave
  ${NSD_GetState} $RemoveMenuBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemoveMenu 1
  ${Else}
    StrCpy $RemoveMenu 0
  ${EndIf}
  ${NSD_GetState} $KeepSettingsBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $KeepSettings 1
  ${Else}
    StrCpy $KeepSettings 0
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} $RemoveMenu == 1
    DetailPrint "Removing the Marlet entries from the QuickBooks File menu"
    ExecWait '"$INSTDIR\marlet.exe" /uninstall'
  ${EndIf}
  DetailPrint "Unregistering Marlet"
  ExecWait '"$INSTDIR\marlet.exe" /unregserver'

  Delete /REBOOTOK "$INSTDIR\marlet.exe"
  Delete "$INSTDIR\QBManual.pdf"
  ; Left by an options write that was cut short.
  Delete "$INSTDIR\dxq*.tmp"
  ${If} $KeepSettings != 1
    Delete "$INSTDIR\dxqb.ini"
    ; The settings of the person who uninstalls, when they had their own.
    Delete "$LOCALAPPDATA\Marlet\dxqb.ini"
    Delete "$LOCALAPPDATA\Marlet\dxq*.tmp"
    RMDir "$LOCALAPPDATA\Marlet"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
