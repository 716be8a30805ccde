; Kestrel's installer. k_package (scripts/lib.sh) defines VERSION, PUBLISHER, ESTIMATED_KB,
; FILES and UNFILES (the generated lists that install and remove exactly the files a user gets),
; ICON and OUTFILE.
;
; An ANSI installer: the Unicode one does not start on Windows 98 and ME.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrel"
!define UNINSTALLER "Uninstall.exe"

Name "Kestrel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Kestrel"
; A reinstall goes where the last install went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Kestrel"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Kestrel ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kestrel.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Readme.txt"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; No language dialog: the installer speaks the system's language, Japanese or English (the first
; is the default for every other language).
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString HelpLink ${LANG_ENGLISH} "Kestrel Help"
LangString HelpLink ${LANG_JAPANESE} "Kestrel ヘルプ"
LangString HelpPage ${LANG_ENGLISH} "help.html"
LangString HelpPage ${LANG_JAPANESE} "help_j.html"
LangString UninstallLink ${LANG_ENGLISH} "Uninstall Kestrel"
LangString UninstallLink ${LANG_JAPANESE} "Kestrel のアンインストール"

; The Start-menu entries' names are in the language of the install that made them; the
; uninstall key records them, so a later install or the uninstaller removes exactly those.
!macro DeleteRecordedLinks
    ReadRegStr $0 HKLM "${UNINST_KEY}" "StartMenuHelp"
    StrCmp $0 "" +2
    Delete "$SMPROGRAMS\Kestrel\$0"
    ReadRegStr $0 HKLM "${UNINST_KEY}" "StartMenuUninstall"
    StrCmp $0 "" +2
    Delete "$SMPROGRAMS\Kestrel\$0"
!macroend

Section "Kestrel"
    ; Start-menu entries for every user where the system has them (2000 and XP).
    SetShellVarContext all
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; Kestrel finds its Data from the folder it starts in: the shortcut starts it in its own.
    SetOutPath "$INSTDIR"
    !insertmacro DeleteRecordedLinks
    CreateDirectory "$SMPROGRAMS\Kestrel"
    CreateShortCut "$SMPROGRAMS\Kestrel\Kestrel.lnk" "$INSTDIR\Kestrel.exe" "" "$INSTDIR\Kestrel.exe" 0
    CreateShortCut "$SMPROGRAMS\Kestrel\$(HelpLink).lnk" "$INSTDIR\Html\$(HelpPage)"
    CreateShortCut "$SMPROGRAMS\Kestrel\$(UninstallLink).lnk" "$INSTDIR\${UNINSTALLER}"

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Kestrel ${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Kestrel.exe,0"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${ESTIMATED_KB}
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    WriteRegStr HKLM "${UNINST_KEY}" "StartMenuHelp" "$(HelpLink).lnk"
    WriteRegStr HKLM "${UNINST_KEY}" "StartMenuUninstall" "$(UninstallLink).lnk"
SectionEnd

; Removes what the installer put there, file by file. What the user saved (results files, the
; frame-time record) stays, and with it the folders that hold it.
Section "Uninstall"
    SetShellVarContext all
    !include "${UNFILES}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Kestrel\Kestrel.lnk"
    !insertmacro DeleteRecordedLinks
    RMDir "$SMPROGRAMS\Kestrel"

    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
