; The installer of testlork for Windows, made by scripts/windows/package:
;   makensis -INPUTCHARSET UTF8 -DVERSION=... -DSTAGE=folder -DOUTFILE=setup.exe
;            -DSIZE_KB=... -DICON=file.ico -DPRODUCT_NAME=... -DPUBLISHER=... installer.nsi
; Installs for all users into Program Files, puts a shortcut in the Start
; menu (and, unless unticked, on the desktop), registers the uninstaller in
; Programs and Features and offers to start the program at the end.
; 64-bit, as the programs are (and as wine64 runs without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
Unicode true
!include MUI2.nsh
!define PRODUCT "testlork"
!ifndef PRODUCT_NAME
  !define PRODUCT_NAME "Проверка связи с прибором ЛОРК"
!endif
!ifndef PUBLISHER
  !define PUBLISHER "Разработчики testlork"
!endif
!ifndef SIZE_KB
  !define SIZE_KB 0
!endif
; The shortcuts carry the product's name.
!define SHORTCUT "${PRODUCT_NAME}"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "FileDescription" "${PRODUCT_NAME}: установка"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_TITLE "Установка завершена"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "запустить"
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsOperator
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "${PRODUCT_NAME}" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}.lnk" "$INSTDIR\testlork.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\testlork.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "ярлык на рабочем столе" SecDesktop
  SetShellVarContext all
  CreateShortcut "$DESKTOP\${SHORTCUT}.lnk" "$INSTDIR\testlork.exe"
SectionEnd

; The installer runs as administrator; the program started from its last
; page runs as the operator who is logged on (through Explorer), so its
; settings go to that operator's %APPDATA%.
Function RunAsOperator
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\testlork.exe"'
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${SHORTCUT}.lnk"
  Delete "$DESKTOP\${SHORTCUT}.lnk"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
