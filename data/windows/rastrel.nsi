; The Windows installer, built by scripts/build-windows.sh with Debian's
; makensis:
;   makensis -DVERSION=1.0 -DBITS=64 -DSTAGE=DIR -DOUTFILE=FILE rastrel.nsi
; STAGE holds what is installed: rastrel.exe, "Rastrel guide.txt" and the
; example scan folder.  The installer asks whether to install for all users
; (Program Files, with administrator rights) or for the current user alone;
; silently (/S) it takes all users where it may, and /AllUsers or
; /CurrentUser choose.  It adds a Start-menu shortcut, an uninstaller
; (listed in the system's programs) and "Open with Rastrel" on folders in
; Explorer, which starts the program with the folder as its argument.
; The 64-bit program gets a 64-bit installer (it runs where the program
; runs), the 32-bit one a 32-bit installer.
!if ${BITS} == 64
  Target amd64-unicode
!else
  Unicode true
!endif
!define NAME "Rastrel"
!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Rastrel"
!define FOLDER_VERB "Software\Classes\Directory\shell\Rastrel"
!define BACKGROUND_VERB "Software\Classes\Directory\Background\shell\Rastrel"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${NAME}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "Software\${NAME}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallFolder"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "Software\${NAME}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!if ${BITS} == 64
  !define MULTIUSER_USE_PROGRAMFILES64
!endif
!include MultiUser.nsh
!include MUI2.nsh

!define MUI_ICON "${STAGE}\rastrel.ico"
!define MUI_UNICON "${STAGE}\rastrel.ico"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Rastrel guide.txt"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

; The registry root of the mode chosen: HKLM for all users, HKCU otherwise.
; SHCTX follows SetShellVarContext, which MultiUser.nsh sets.
Section "Rastrel"
  SetOutPath "$INSTDIR"
  File "${STAGE}\rastrel.exe"
  File "${STAGE}\Rastrel guide.txt"
  SetOutPath "$INSTDIR\example"
  File /r "${STAGE}\example\*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\rastrel.exe" "" "$INSTDIR\rastrel.exe" 0 SW_SHOWNORMAL "" \
    "Convert scan files into TIFF images"

  WriteRegStr SHCTX "${FOLDER_VERB}" "" "Open with Rastrel"
  WriteRegStr SHCTX "${FOLDER_VERB}" "Icon" "$INSTDIR\rastrel.exe"
  WriteRegStr SHCTX "${FOLDER_VERB}\command" "" '"$INSTDIR\rastrel.exe" "%1"'
  WriteRegStr SHCTX "${BACKGROUND_VERB}" "" "Open with Rastrel"
  WriteRegStr SHCTX "${BACKGROUND_VERB}" "Icon" "$INSTDIR\rastrel.exe"
  WriteRegStr SHCTX "${BACKGROUND_VERB}\command" "" '"$INSTDIR\rastrel.exe" "%V"'

  WriteRegStr SHCTX "Software\${NAME}" "InstallFolder" "$INSTDIR"
  WriteRegStr SHCTX "Software\${NAME}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${KEY}" "Publisher" "The Rastrel authors"
  WriteRegStr SHCTX "${KEY}" "DisplayIcon" "$INSTDIR\rastrel.exe"
  WriteRegStr SHCTX "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there; the example folder goes with its
; converted images, the folder itself only when nothing else is left in it.
Section "Uninstall"
  Delete "$INSTDIR\rastrel.exe"
  Delete "$INSTDIR\Rastrel guide.txt"
  RMDir /r "$INSTDIR\example"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${NAME}.lnk"
  DeleteRegKey SHCTX "${FOLDER_VERB}"
  DeleteRegKey SHCTX "${BACKGROUND_VERB}"
  DeleteRegKey SHCTX "Software\${NAME}"
  DeleteRegKey SHCTX "${KEY}"
SectionEnd
