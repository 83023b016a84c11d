; Marlet's installer and uninstaller: one installer for every QuickBooks.
;
; Built by installer/CMakeLists.txt:
;   makensis -DVERSION=1.0.0 -DMARLET_EXE_64=... -DMARLET_EXE_32=... -DMANUAL_PDF=... -DADMIN_GUIDE_PDF=...
;            -DICON=... -DOUTFILE=... -DSIGN=command -DUNINSTALLER_COPY=... -DNEW_SETTINGS=... MarletSetup.nsi
; NEW_SETTINGS is the include installer_facts writes from Marlet's own settings
; table: the lines of a new dxqb.ini and what a folder line cannot hold.
;
; A 64-bit program: every QuickBooks Desktop that Intuit still supports needs
; 64-bit Windows. Carries both builds of marlet.exe and installs the one that
; can load the QuickBooks SDK request processor registered on this PC: its
; class (QBXMLRP2.RequestProcessor's CLSID, with an InprocServer32 or a
; LocalServer32) registered in the 64-bit registry view -> the 64-bit build
; into Program Files; only in the 32-bit view -> the 32-bit build into Program
; Files (x86); neither (no QuickBooks yet) -> the 64-bit build, which the last
; page says. /ARCH=64 or /ARCH=32 forces a build.
;
; Installs marlet.exe, QBManual.pdf and AdminGuide.pdf, registers Marlet's COM classes
; (marlet.exe /regserver, which writes the exe's own registry view), and
; creates dxqb.ini beside the exe when there is none: marlet.exe only ever
; rewrites that file, so without it no setting would survive. An existing
; dxqb.ini is never touched, so an upgrade keeps the user's settings.
; Optionally adds the QuickBooks menu (marlet.exe /install); the last page
; offers the set-up check (marlet.exe /check). A person at the screen gets both
; as the signed-in user, not elevated (runasuser.exe): a program that talks to
; QuickBooks through its SDK must run at QuickBooks' level, and QuickBooks is
; normally not elevated.
;
; A Marlet of the other build, or in another folder, is removed first by its
; own uninstaller (its files and its registration; the QuickBooks menu is
; kept: it names the listener's ProgID, which the new build registers), after
; its dxqb.ini has been copied into the new folder. The uninstall key lives in
; the installed build's registry view and records its folder and build.
;
; Silent use:
;   MarletSetup.exe /S [/ARCH=64|32] [/DXPATH=folder] [/CONFIGPATH=folder] [/ADDMENU] [/D=install folder]
;   uninstall.exe /S [/KEEPSETTINGS] [/KEEPMENU]
; A folder with blanks is given in double quotes; /D= comes last, unquoted.
; Exit codes: 0 installed; 2 refused (/ARCH=, a package's Marlet) or failed;
; 3 a /DXPATH= or /CONFIGPATH= value refused (a line break, "|", or a
; character the system's ANSI code page cannot hold: dxqb.ini is ANSI lines).
;
; The interactive uninstaller removes the menu as the signed-in user, through
; the desktop's shell as the installer adds it, and waits for that marlet.exe
; (MENU_WAIT_SECONDS at most) before it deletes the files; its last page says
; when the menu may still be there and how to remove it. Silently it runs
; marlet.exe /uninstall /quiet itself, as before.

Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION
  !define VERSION 1.0.0
!endif
!define PRODUCT "Marlet"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marlet"
; QBXMLRP2.RequestProcessor's class, which QuickBooks' SDK registers.
!define REQUEST_PROCESSOR_CLSID "{71F531F5-8E67-4A7A-9161-15733FFC3206}"
; How long the uninstaller waits for marlet.exe /uninstall, whose box waits for a click.
!define MENU_WAIT_SECONDS 300

; The uninstaller and the installer are signed as they are made (a plain copy
; without a certificate); the tests compare the installed uninstall.exe with
; the copy.
!uninstfinalize '${SIGN} "%1" "%1"' = 0
!uninstfinalize 'cp -f "%1" "${UNINSTALLER_COPY}"' = 0
!finalize '${SIGN} "%1" "%1"' = 0

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include "${NEW_SETTINGS}"

Var Bits            ; the build to install: 64 or 32
Var Found           ; the registry view the request processor is registered in: 64, 32 or ""
Var BuildNote       ; why that one, for the last page
Var FinishText      ; the last page's text
Var PrevDir         ; an installed Marlet's folder ("" when none)
Var PrevBits        ; and its build
Var DxPath          ; the Dorvex folder, as dxqb.ini's second line will hold it
Var ConfigPath      ; the configuration folder, the third line
Var DxPathBox
Var ConfigPathBox
Var KeepSettings    ; uninstaller: 1 keeps dxqb.ini
Var RemoveMenu      ; uninstaller: 1 runs marlet.exe /uninstall
Var KeepSettingsBox
Var RemoveMenuBox
Var UnFinishText    ; uninstaller: its last page's text

Name "${PRODUCT}"
OutFile "${OUTFILE}"
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
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} on your computer.$\r$\n$\r$\nMarlet adds a Marlet menu to the QuickBooks File menu (File > Marlet > Scan Documents, Retrieve Documents, Options, Manual) and files your scanned documents in Dorvex under the customer or transaction open in QuickBooks.$\r$\n$\r$\nThe installer picks the 64-bit or the 32-bit Marlet, whichever your QuickBooks needs.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_TEXT "$FinishText"
; The set-up check says what is still missing (QuickBooks closed, Dorvex
; elsewhere, ...); it needs QuickBooks running, so it is offered, not ticked.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunCheck
!define MUI_FINISHPAGE_RUN_TEXT "Check the set-up now"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
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
!define MUI_FINISHPAGE_TEXT "$UnFinishText"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

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

; The lines marlet.exe reads, in the system's ANSI code page (NEW_SETTINGS).
Function WriteOptionsFile
  ClearErrors
  FileOpen $0 "$INSTDIR\dxqb.ini" w
  ${If} ${Errors}
    DetailPrint "Could not create $INSTDIR\dxqb.ini"
    SetErrorLevel 2
    Abort "Could not create $INSTDIR\dxqb.ini"
  ${EndIf}
  !insertmacro WriteNewSettings $0 $DxPath $ConfigPath
  FileClose $0
  DetailPrint "Created dxqb.ini"
FunctionEnd

; Pushes 1 when the request processor's class is registered in the registry
; view SetRegView chose, else 0. Read from HKLM's classes by its CLSID: the
; ProgID's key is one for both views, so only the CLSID's key tells the view;
; and HKCR would also show the classes of the user who runs the installer.
Function RequestProcessorRegistered
  Push $0
  StrCpy $0 0
  ClearErrors
  ReadRegStr $0 HKLM "Software\Classes\CLSID\${REQUEST_PROCESSOR_CLSID}\InprocServer32" ""
  ${If} ${Errors}
    ClearErrors
    ReadRegStr $0 HKLM "Software\Classes\CLSID\${REQUEST_PROCESSOR_CLSID}\LocalServer32" ""
  ${EndIf}
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    StrCpy $0 1
  ${EndIf}
  Exch $0
FunctionEnd

; Pushes why the text on the stack cannot be a line of dxqb.ini, or "": a
; character NEW_SETTINGS names (a line break would add lines, "|" is refused by
; the packages' too), or one the system's ANSI code page cannot hold, which
; would be written as another one (no best fit: "?" is reported as not held).
Function BadLineText
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 ""
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 1 $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    !insertmacro FolderCharacterFault $2 $3
    ${If} $3 != ""
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  ${If} $3 == ""
    ; WC_NO_BEST_FIT_CHARS; the last argument says whether a character had no match.
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w r0, i -1, m .r1, i ${NSIS_MAX_STRLEN}, p 0, *i 0 r2) i .r1'
    ${If} $2 != 0
      StrCpy $3 "${FOLDER_NOT_IN_CODE_PAGE}"
    ${EndIf}
  ${EndIf}
  StrCpy $0 $3
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Sets $Bits to the build that can load the registered request processor,
; $Found to the registry view it was found in ("" when none), and $BuildNote
; to what the last page says about it.
Function ChooseBuild
  StrCpy $Found ""
  SetRegView 64
  Call RequestProcessorRegistered
  Pop $0
  SetRegView default
  ${If} $0 == 1
    StrCpy $Bits 64
    StrCpy $Found 64
    StrCpy $BuildNote "The 64-bit Marlet was installed, for the 64-bit QuickBooks on this computer."
    Return
  ${EndIf}
  SetRegView 32
  Call RequestProcessorRegistered
  Pop $0
  SetRegView default
  ${If} $0 == 1
    StrCpy $Bits 32
    StrCpy $Found 32
    StrCpy $BuildNote "The 32-bit Marlet was installed, for the 32-bit QuickBooks on this computer (releases before 2022)."
    Return
  ${EndIf}
  StrCpy $Bits 64
  StrCpy $BuildNote "QuickBooks was not found on this computer, so the 64-bit Marlet was installed. If your QuickBooks needs the other one, run this installer again once QuickBooks is installed: it picks the right Marlet and keeps your settings."
FunctionEnd

; Sets $PrevDir and $PrevBits to the Marlet already installed, if any.
Function FindPrevious
  StrCpy $PrevDir ""
  StrCpy $PrevBits ""
  SetRegView 64
  ReadRegStr $PrevDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  SetRegView default
  ${If} $PrevDir != ""
    StrCpy $PrevBits 64
    Return
  ${EndIf}
  SetRegView 32
  ReadRegStr $PrevDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  SetRegView default
  ${If} $PrevDir != ""
    StrCpy $PrevBits 32
  ${EndIf}
FunctionEnd

; Removes the Marlet found by FindPrevious when it is the other build or lies
; in another folder: its dxqb.ini is copied into $INSTDIR first (it holds the
; settings in use, so it replaces any older one there), then its uninstaller
; unregisters it and deletes its files and uninstall key, leaving the menu.
Function RemovePrevious
  ${If} $PrevDir == ""
    Return
  ${EndIf}
  ${If} $PrevBits == $Bits
  ${AndIf} $PrevDir == $INSTDIR
    Return
  ${EndIf}
  DetailPrint "Replacing the $PrevBits-bit Marlet in $PrevDir"
  ${If} $PrevDir != $INSTDIR
  ${AndIf} ${FileExists} "$PrevDir\dxqb.ini"
    CreateDirectory "$INSTDIR"
    ClearErrors
    CopyFiles /SILENT "$PrevDir\dxqb.ini" "$INSTDIR"
    ${If} ${Errors}
      SetErrorLevel 2
      Abort "Could not copy $PrevDir\dxqb.ini to $INSTDIR"
    ${EndIf}
    DetailPrint "Moved dxqb.ini from $PrevDir"
  ${EndIf}
  ; _?= runs it in place, so that ExecWait waits for it.
  ExecWait '"$PrevDir\uninstall.exe" /S /KEEPSETTINGS /KEEPMENU _?=$PrevDir' $0
  ${If} $0 != 0
    DetailPrint "The uninstaller in $PrevDir failed ($0)"
  ${EndIf}
  ${If} $PrevDir != $INSTDIR
    Delete "$PrevDir\dxqb.ini"
  ${EndIf}
  Delete "$PrevDir\uninstall.exe"
  RMDir "$PrevDir"
FunctionEnd

; --- the Dorvex folders page (skipped when dxqb.ini exists: it is kept as it is)

Function FoldersPage
  ${If} ${FileExists} "$INSTDIR\dxqb.ini"
    Abort
  ${EndIf}
  ${If} $PrevDir != ""
  ${AndIf} ${FileExists} "$PrevDir\dxqb.ini"
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
  Call BadLineText
  Pop $1
  ${If} $1 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "The Dorvex folder $DxPath cannot be used: $1."
    Abort
  ${EndIf}
  Push $ConfigPath
  Call BadLineText
  Pop $1
  ${If} $1 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "The configuration folder $ConfigPath cannot be used: $1."
    Abort
  ${EndIf}
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
  Call RemovePrevious
  SetOutPath "$INSTDIR"
  ${If} $Bits == 64
    File "/oname=marlet.exe" "${MARLET_EXE_64}"
  ${Else}
    File "/oname=marlet.exe" "${MARLET_EXE_32}"
  ${EndIf}
  File "/oname=QBManual.pdf" "${MANUAL_PDF}"
  ; The Group Policy template, for an administrator to copy to the policy store.
  File "/oname=Marlet.admx" "${POLICY_DIR}\Marlet.admx"
  SetOutPath "$INSTDIR\en-US"
  File "/oname=Marlet.adml" "${POLICY_DIR}\en-US\Marlet.adml"
  SetOutPath "$INSTDIR"
  File "/oname=AdminGuide.pdf" "${ADMIN_GUIDE_PDF}"
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

  ${If} $Bits == 64
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marlet"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\marlet.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Build" "$Bits-bit"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  SetRegView default
  DetailPrint "$BuildNote"
SectionEnd

; Runs marlet.exe with a menu switch. Marlet shows the outcome in its own message
; box; run silently it shows none (/quiet), ends by itself within its time
; bound, and writes the outcome to its log (%LOCALAPPDATA%\Marlet\marlet.log),
; so a deployment tool never waits for a person.
!macro MenuSwitch switch
  ${If} ${Silent}
    ExecWait '"$INSTDIR\marlet.exe" ${switch} /quiet' $0
    DetailPrint "marlet.exe ${switch}: exit code $0"
  ${Else}
    ExecWait '"$INSTDIR\marlet.exe" ${switch}'
  ${EndIf}
!macroend

; Starts marlet.exe with the switch on the stack as the signed-in user, through
; the desktop's shell (runasuser.exe), without waiting: Marlet shows its own
; box. Where no desktop shell answers, runs it from here and waits.
Function RunAsUser
  Exch $1
  Push $0
  InitPluginsDir
  File "/oname=$PLUGINSDIR\runasuser.exe" "${RUN_AS_USER}"
  ExecWait '"$PLUGINSDIR\runasuser.exe" "$INSTDIR\marlet.exe" $1' $0
  ${If} $0 != 0
    DetailPrint "No desktop shell to start marlet.exe $1 as the signed-in user: started by the installer"
    ExecWait '"$INSTDIR\marlet.exe" $1'
  ${EndIf}
  Pop $0
  Pop $1
FunctionEnd

Function RunCheck
  Push /check
  Call RunAsUser
FunctionEnd

Section "Add Marlet to the QuickBooks File menu" SecMenu
  DetailPrint "Adding the Marlet entries to the QuickBooks File menu"
  ${If} ${Silent}
    !insertmacro MenuSwitch /install
  ${Else}
    Push /install
    Call RunAsUser
  ${EndIf}
SectionEnd

; Stops the installer with `text`, shown unless silent, and exit code 2.
!macro Refuse text
  !insertmacro RefuseWith 2 "${text}"
!macroend
!macro RefuseWith code text
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel ${code}
  Quit
!macroend

; A Marlet installed from Marlet-x64.msi or Marlet-x86.msi (which leave
; HKLM\Software\Marlet "Package" in their registry view) is that package's to
; upgrade, repair or remove: the installer refuses rather than leave two
; installations registering the same classes.
Function RefuseOverPackage
  SetRegView 64
  ReadRegStr $R1 HKLM "Software\Marlet" "Package"
  ${If} $R1 == ""
    SetRegView 32
    ReadRegStr $R1 HKLM "Software\Marlet" "Package"
  ${EndIf}
  SetRegView default
  ${If} $R1 != ""
    !insertmacro Refuse "Marlet is installed on this computer from the Windows Installer package $R1. Upgrade, repair or remove it with that package (or in Settings > Apps), not with MarletSetup.exe."
  ${EndIf}
FunctionEnd

Function .onInit
  Call RefuseOverPackage
  ${GetParameters} $R0
  Call ChooseBuild
  ClearErrors
  ${GetOptions} $R0 "/ARCH=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == 64
    ${OrIf} $R1 == 32
      StrCpy $Bits $R1
      StrCpy $BuildNote "The $Bits-bit Marlet was installed, as asked (/ARCH=$Bits)."
    ${Else}
      !insertmacro Refuse "Unknown /ARCH=$R1: use /ARCH=64 or /ARCH=32."
    ${EndIf}
  ${EndIf}
  StrCpy $FinishText "$BuildNote$\r$\n$\r$\nClick Finish to close this wizard."

  Call FindPrevious
  ; /D= has set $INSTDIR; else the folder of the same build already
  ; installed, else Program Files of the build.
  ${If} $INSTDIR == ""
    ${If} $PrevBits == $Bits
      StrCpy $INSTDIR $PrevDir
    ${ElseIf} $Bits == 64
      StrCpy $INSTDIR "$PROGRAMFILES64\Marlet"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES32\Marlet"
    ${EndIf}
  ${EndIf}

  ClearErrors
  ${GetOptions} $R0 "/DXPATH=" $DxPath
  ${GetOptions} $R0 "/CONFIGPATH=" $ConfigPath
  Push $DxPath
  Call BadLineText
  Pop $R1
  ${If} $R1 != ""
    !insertmacro RefuseWith 3 "/DXPATH= cannot be used: $R1."
  ${EndIf}
  Push $ConfigPath
  Call BadLineText
  Pop $R1
  ${If} $R1 != ""
    !insertmacro RefuseWith 3 "/CONFIGPATH= cannot be used: $R1."
  ${EndIf}
  Push $DxPath
  Call TrailingBackslash
  Pop $DxPath
  Push $ConfigPath
  Call TrailingBackslash
  Pop $ConfigPath
  ; The menu is added silently only on request, and is offered ticked only
  ; when there is a QuickBooks to add it to.
  ClearErrors
  ${GetOptions} $R0 "/ADDMENU" $R1
  ${If} ${Silent}
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecMenu}
    ${EndIf}
  ${ElseIf} $Found == ""
    !insertmacro UnselectSection ${SecMenu}
  ${EndIf}
FunctionEnd

; --- uninstaller

Function un.onInit
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

; The interactive removal of the menu: marlet.exe /uninstall as the signed-in
; user, through the desktop's shell, waited for; where there is no desktop
; shell, run from here. Sets $UnFinishText when the menu may still be there.
Function un.RemoveMenuAsUser
  InitPluginsDir
  File "/oname=$PLUGINSDIR\runasuser.exe" "${RUN_AS_USER}"
  ExecWait '"$PLUGINSDIR\runasuser.exe" /wait=${MENU_WAIT_SECONDS} "$INSTDIR\marlet.exe" /uninstall' $0
  ${If} $0 == 1
    DetailPrint "No desktop shell to start marlet.exe /uninstall as the signed-in user: started by the uninstaller"
    ExecWait '"$INSTDIR\marlet.exe" /uninstall' $0
    ${If} $0 != 0
      StrCpy $0 4
    ${EndIf}
  ${EndIf}
  ${If} $0 == 0
    Return
  ${ElseIf} $0 == 3
    StrCpy $1 "Marlet did not finish removing its entries from the QuickBooks File menu within ${MENU_WAIT_SECONDS} seconds, so the uninstall went on without it."
  ${Else}
    StrCpy $1 "The Marlet entries could not be removed from the QuickBooks File menu."
  ${EndIf}
  DetailPrint "$1"
  StrCpy $UnFinishText "$1$\r$\n$\r$\nTo remove them later: install Marlet again, start QuickBooks (not as administrator) with your company file open, choose File > Marlet > Options and press Remove Menu, then uninstall Marlet again."
FunctionEnd

Section "Uninstall"
  StrCpy $UnFinishText "Marlet has been removed from your computer."
  ${If} $RemoveMenu == 1
    DetailPrint "Removing the Marlet entries from the QuickBooks File menu"
    ; Silently, a menu that cannot be removed does not stop the uninstall.
    ${If} ${Silent}
      !insertmacro MenuSwitch /uninstall
    ${Else}
      Call un.RemoveMenuAsUser
    ${EndIf}
  ${EndIf}
  DetailPrint "Unregistering Marlet"
  ExecWait '"$INSTDIR\marlet.exe" /unregserver'

  Delete /REBOOTOK "$INSTDIR\marlet.exe"
  Delete "$INSTDIR\QBManual.pdf"
  Delete "$INSTDIR\Marlet.admx"
  Delete "$INSTDIR\en-US\Marlet.adml"
  RMDir "$INSTDIR\en-US"
  Delete "$INSTDIR\AdminGuide.pdf"
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
  Call un.DeleteUninstallKey
SectionEnd

; The uninstall key is in the registry view of the build installed here.
Function un.DeleteUninstallKey
  SetRegView 64
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
  SetRegView 32
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
  SetRegView default
FunctionEnd
