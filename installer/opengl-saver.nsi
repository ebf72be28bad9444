; Installer of the 3D OpenGL screen saver. It puts opengl.scr into the system
; folder, where the display settings list screen savers, the three pictures
; into c:\zelvodata\, can make it the current screen saver, and registers an
; uninstaller that removes all of it again. The license text goes beside
; the uninstaller.
;
; makensis -DOUTFILE=file.exe -DPICTURES=dir -DSAVER64=file -DLICENSE=file
;          (-DSAVER32=file | -DAMD64) opengl-saver.nsi
;   LICENSE: the license text as it is installed (Windows line ends).
;   without AMD64: a 32-bit installer holding both savers; it installs the
;     one that matches the bitness of the system it runs on.
;   with AMD64: a 64-bit installer holding the 64-bit saver only.
;
; Installer switches:   /S silent; /CURRENT make it the current screen saver
;                       (in silent mode it is made current only with /CURRENT).
; Uninstaller switches: /S silent; /REMOVESETTINGS also remove the user's
;                       settings (in silent mode they are kept without it).

!ifdef AMD64
  Target amd64-unicode
!else
  Unicode false
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinVer.nsh
!include x64.nsh

!define PRODUCT "3D OpenGL Screen Saver"
!define VERSION "1.0"
!define PUBLISHER "OpenGL ScreenSaver"
!define SAVER_FILE "opengl.scr"
!define DATA_DIR "c:\zelvodata"
!define UNINSTALLER "uninstall.exe"
!define LICENSE_FILE "license.txt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OpenGLScreenSaver"
!define SETTINGS_KEY "Software\OpenGLScreenSaver"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\OpenGL ScreenSaver"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file times in the installer: the same sources give the same bytes.
SetDateSave off
ShowInstDetails show
ShowUninstDetails show

ComponentText "The screen saver goes into the Windows system folder and its pictures into ${DATA_DIR}\."
Page components
Page instfiles

PageEx un.components
  ComponentText "The screen saver, its pictures and this uninstaller will be removed."
PageExEnd
UninstPage instfiles

; Where the installed saver is, and its short form as the system records it.
Var SaverPath
Var SaverShortPath

; Lets $SYSDIR name the system's own folder on 64-bit Windows, where the
; 64-bit saver belongs (a 32-bit installer otherwise sees SysWOW64 there).
!macro UseNativeSystemFolder
  !ifndef AMD64
    ${If} ${RunningX64}
      ${DisableX64FSRedirection}
    ${EndIf}
  !endif
!macroend

; Turns file-system redirection back on after UseNativeSystemFolder.
!macro EndNativeSystemFolder
  !ifndef AMD64
    ${If} ${RunningX64}
      ${EnableX64FSRedirection}
    ${EndIf}
  !endif
!macroend

; Sets SaverPath and SaverShortPath (the long form when the file is missing).
!macro FindSaverPaths
  StrCpy $SaverPath "$SYSDIR\${SAVER_FILE}"
  GetFullPathName /SHORT $SaverShortPath $SaverPath
  ${If} $SaverShortPath == ""
    StrCpy $SaverShortPath $SaverPath
  ${EndIf}
!macroend

Section "Screen saver and pictures" SecSaver
  SectionIn RO
  SetOutPath "${DATA_DIR}"
  File "${PICTURES}\cloud.bmp"
  File "${PICTURES}\stars.bmp"
  File "${PICTURES}\quad.bmp"

  !insertmacro UseNativeSystemFolder
  SetOutPath $SYSDIR
  !ifdef AMD64
    File "/oname=${SAVER_FILE}" "${SAVER64}"
  !else
    ${If} ${RunningX64}
      File "/oname=${SAVER_FILE}" "${SAVER64}"
    ${Else}
      File "/oname=${SAVER_FILE}" "${SAVER32}"
    ${EndIf}
  !endif
  !insertmacro FindSaverPaths
  !insertmacro EndNativeSystemFolder

  SetOutPath $INSTDIR
  File "/oname=${LICENSE_FILE}" "${LICENSE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Make it my screen saver" SecCurrent
  ; The NT family reads the saver from the registry, the 9x family from
  ; system.ini; the system call switches the screen saver on right away.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $SaverShortPath
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ${IfNot} ${IsNT}
    WriteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE" $SaverShortPath
  ${EndIf}
  System::Call "user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})"
  DetailPrint "Current screen saver: $SaverShortPath"
SectionEnd

; In silent mode the saver becomes the current one only with /CURRENT.
Function .onInit
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/CURRENT" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecCurrent}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "un.Screen saver and pictures" UnSecSaver
  SectionIn RO
  !insertmacro UseNativeSystemFolder
  !insertmacro FindSaverPaths
  Delete /REBOOTOK $SaverPath
  !insertmacro EndNativeSystemFolder

  ; The current screen saver is forgotten only while it is this one (in its
  ; long or short form; the comparison ignores case).
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == $SaverPath
  ${OrIf} $0 == $SaverShortPath
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  ${IfNot} ${IsNT}
    ReadINIStr $0 "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
    ${If} $0 == $SaverPath
    ${OrIf} $0 == $SaverShortPath
      DeleteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
    ${EndIf}
  ${EndIf}

  Delete "${DATA_DIR}\cloud.bmp"
  Delete "${DATA_DIR}\stars.bmp"
  Delete "${DATA_DIR}\quad.bmp"
  RMDir "${DATA_DIR}"

  Delete "$INSTDIR\${LICENSE_FILE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir $INSTDIR
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Also remove my settings" UnSecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

; /REMOVESETTINGS ticks the box (and is the only way in silent mode).
Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd
