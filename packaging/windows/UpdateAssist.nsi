; The Windows installer of Update Assist (NSIS). Built by scripts/windows/installer,
; which stages the program and passes:
;   VERSION      the program's version
;   FILES        an include file installing the staged files
;   REMOVALS     an include file removing exactly those files and folders again
;   OUTFILE      the installer to write
; /S installs silently; the uninstaller takes /S as well.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define APP "Update Assist"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\UpdateAssist"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\UpdateAssist"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext all
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${APP}"
    CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\UpdateAssist.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\UpdateAssist.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    ; Only what was installed, and the files the program makes beside itself:
    ; the folder itself goes only when nothing else is left in it.
    !include "${REMOVALS}"
    Delete "$INSTDIR\config.ini"
    Delete "$INSTDIR\User.bin"
    Delete "$INSTDIR\crash.dmp"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
    RMDir "$SMPROGRAMS\${APP}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
