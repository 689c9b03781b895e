; Tidewell for NSF to PST Setup.exe: the program (64-bit on 64-bit Windows,
; 32-bit otherwise), its help file, the skin bitmaps where the program reads
; them, "FilePath", a Start menu entry and an entry in the installed
; programs with its uninstaller; on a machine without Outlook, the
; automation server over the PST engine. Silent: /S, and /D= for the
; directory. Built by build.sh with makensis, which gives:
;   OUTFILE     the installer to write
;   VERSION     the product's version
;   WIN64_DIR   the 64-bit build tree (src/TidewellNsfToPst.exe,
;               standins/outlook/twoutlook.dll)
;   WIN32_DIR   the 32-bit build tree (the same two)
;   SKIN_DIR    the skin bitmaps
;   HELP_FILE   the compiled help
;   AMD64       (optional) build the installer itself as a 64-bit program
!ifdef AMD64
    ; The same installer as a 64-bit program, for 64-bit Windows alone.
    Target amd64-unicode
!else
    Unicode true
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "Tidewell for NSF to PST"
!define PUBLISHER "Tidewell"
!define EXE "TidewellNsfToPst.exe"
!define AUTOMATION_DLL "twoutlook.dll"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SETTINGS_KEY "TWNSF_PST"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Var DefaultDir

Function .onInit
    ; For every user of the machine: the Start menu of all users.
    SetShellVarContext all
    StrCpy $DefaultDir "$PROGRAMFILES\${PRODUCT}"
    ${If} ${RunningX64}
        SetRegView 64
        ; The 64-bit Program Files unless /D= named a directory.
        ${If} $INSTDIR == $DefaultDir
            StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext all
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
FunctionEnd

; regsvr32 of the machine's own width: the 64-bit one for the 64-bit server.
!macro Regsvr32 ARGS
    ${DisableX64FSRedirection}
    ExecWait '"$SYSDIR\regsvr32.exe" /s ${ARGS}' $0
    ${EnableX64FSRedirection}
!macroend

Section "Program" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    ${If} ${RunningX64}
        File "/oname=${EXE}" "${WIN64_DIR}/src/${EXE}"
    ${Else}
        File "/oname=${EXE}" "${WIN32_DIR}/src/${EXE}"
    ${EndIf}
    File "/oname=${PRODUCT}.chm" "${HELP_FILE}"
    SetOutPath "$WINDIR\${PRODUCT}"
    File "${SKIN_DIR}/*.bmp"
    SetOutPath "$INSTDIR"
    WriteRegStr HKCR "${SETTINGS_KEY}" "FilePath" "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${EXE}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk" "$INSTDIR\${PRODUCT}.chm"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Outlook's and Redemption's automation objects work only together: ours
; (over the PST engine) where Outlook is missing, none where it is there.
Section "-Automation" SecAutomation
    ReadRegStr $1 HKCR "Outlook.Application\CLSID" ""
    ; Ours, from an earlier installation: brought up to date below.
    ReadRegDWORD $3 HKLM "${UNINSTALL_KEY}" "AutomationServer"
    ${If} $1 != ""
    ${AndIf} $3 != 1
        ReadRegStr $2 HKCR "Redemption.SafeMailItem\CLSID" ""
        ${If} $2 == ""
            MessageBox MB_OK|MB_ICONEXCLAMATION "Outlook is installed, but Redemption is not. The conversion needs \
                Redemption: install it before converting." /SD IDOK
        ${EndIf}
        Return
    ${EndIf}
    ${If} $3 != 1
        MessageBox MB_YESNO|MB_ICONQUESTION "Outlook is not installed on this computer. Install the ${PRODUCT} \
            automation server, which writes personal folders files without Outlook?" /SD IDYES IDYES +2
        Return
    ${EndIf}
    SetOutPath "$INSTDIR"
    ${If} ${RunningX64}
        File "${WIN64_DIR}/standins/outlook/${AUTOMATION_DLL}"
    ${Else}
        File "${WIN32_DIR}/standins/outlook/${AUTOMATION_DLL}"
    ${EndIf}
    !insertmacro Regsvr32 '"$INSTDIR\${AUTOMATION_DLL}"'
    ${If} $0 != 0
        MessageBox MB_OK|MB_ICONSTOP "The automation server could not be registered (regsvr32 ended with $0)." /SD IDOK
        SetErrorLevel 2
        Return
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AutomationServer" 1
SectionEnd

Section "Uninstall"
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "AutomationServer"
    ${If} $1 == 1
        !insertmacro Regsvr32 '/u "$INSTDIR\${AUTOMATION_DLL}"'
        Delete "$INSTDIR\${AUTOMATION_DLL}"
    ${EndIf}
    Delete "$INSTDIR\${EXE}"
    Delete "$INSTDIR\${PRODUCT}.chm"
    Delete "$INSTDIR\Uninstall.exe"
    ; The program's own working directory, when it holds nothing.
    RMDir "$INSTDIR\Attachment"
    ; The directory stays while the activity log (the user's) is in it.
    RMDir "$INSTDIR"
    Delete "$WINDIR\${PRODUCT}\*.bmp"
    RMDir "$WINDIR\${PRODUCT}"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    ; "FilePath" and the settings the program kept beside it.
    DeleteRegKey HKCR "${SETTINGS_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
