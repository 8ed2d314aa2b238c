; The tool set's installer for Windows, made by make_installer.sh from the installed tree of a
; cross build. Russian pages; a per-machine installation into Program Files (the 32-bit one for
; the 32-bit build, which Windows redirects to "Program Files (x86)" on a 64-bit system, and the
; 64-bit one for the 64-bit build, whose installer is a 64-bit program itself); a Start menu entry
; for the editor; probe files (.dt) opened by the editor; an uninstaller that "Programs and
; Features" lists. Silent with /S, another folder with /D=<folder>.
;
; Defines (makensis -D...): VERSION, ARCH (win32 or win64), SOURCE (the installed tree), ICON,
; LICENSE (UTF-8 with BOM, CR LF), FILES and UNFILES (the File and Delete lines of the tree),
; OUTFILE.

Unicode true
ManifestDPIAware true
!if "${ARCH}" == "win64"
  Target amd64-unicode
!else if "${ARCH}" != "win32"
  !error "ARCH must be win32 or win64"
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "probe-tools"
!define EDITOR "Редактор ЖУВ"
!define PUBLISHER "Сопровождающие набора probe-tools"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\probe-tools"
!define PROGID "probe-tools.ProbeFile"
!define SHORTCUT "$SMPROGRAMS\${EDITOR}.lnk"

Name "${PRODUCT} ${VERSION} (${EDITOR})"
OutFile "${OUTFILE}"
!if "${ARCH}" == "win64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; The folder of an installed version is offered again (and replaced there).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\probe_editor.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить ${EDITOR}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; Explorer reads the associations again.
!macro NotifyAssociationsChanged
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section "Install"
  SetShellVarContext all
  ; An installed version (this one or an older one) is uninstalled first, from its own folder
  ; and in silence, so that nothing of it stays behind; the user's files stay, as with any
  ; uninstall.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    DetailPrint "Удаление установленной версии из $0"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}

  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\probe_editor.exe" "" "$INSTDIR\probe_editor.exe" 0

  ; Probe files open in the editor: a ProgID with the editor's icon and its "open" verb.
  WriteRegStr HKLM "Software\Classes\.dt" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\.dt\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Файл датчиков"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\probe_editor.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" \
    '"$INSTDIR\probe_editor.exe" "%1"'
  !insertmacro NotifyAssociationsChanged

  ; "Programs and Features".
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (${EDITOR})"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\probe_editor.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

; Removes what the installer put there, file by file, and folders only when they are empty:
; probe files a user kept in the program's folder stay with it. The editor's settings
; (HKCU\Software\probe-tools) belong to the user and stay too.
Section "Uninstall"
  SetShellVarContext all
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"

  ; .dt is left alone when another program has taken it since.
  ReadRegStr $0 HKLM "Software\Classes\.dt" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKLM "Software\Classes\.dt" ""
  ${EndIf}
  DeleteRegValue HKLM "Software\Classes\.dt\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.dt\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\.dt"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro NotifyAssociationsChanged
SectionEnd
