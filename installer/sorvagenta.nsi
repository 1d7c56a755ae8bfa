; Sorvagenta's per-user installer. makensis is given the product's facts and the names derived
; from them (cmake/product.cmake): APP, PUBLISHER, VERSION, COPYRIGHT, PROGRAM and LIBRARY (the
; shipped files), UNINSTALLER and INSTALL_FOLDER (the default one, under $LOCALAPPDATA); and
; BINDIR (the built program files), ICON, ART (the pages' pictures) and OUTFILE; for a signed
; release also PYTHON, SIGN_FILE (tools/release/sign_file.py), FACTS (the build's release.json)
; and SIGNATURES. This file holds the settings, pages and installer sections; shared.nsh what the uninstaller uses too, folder.nsh the checks of
; the install folder, uninstall.nsh the uninstaller.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The files' own times would make every build's installer differ.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinCore.nsh
!include Sections.nsh
!include WinVer.nsh

!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where Task Manager keeps a sign-in entry's "disabled" flag.
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define APPS_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define NOT_OWN_FOLDER "$INSTDIR is outside your profile in a folder that another account \
    owns, which could change the program there."
; The uninstaller is written, not packed as a file, so "Space required" would leave it out:
; the installer tool's stub and our uninstall code (112 KB), and room for a signature with its
; certificate chain (the test's signer and CA take 2.3 KB).
!define UNINSTALLER_KB 120

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${INSTALL_FOLDER}"
; An upgrade or repair goes where the earlier install is, unless /D= says otherwise.
InstallDirRegKey HKCU "${APPS_KEY}" InstallLocation
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "${APP} ${VERSION}"

!ifdef SIGN_FILE
    ; The uninstaller is signed before it is packed in (its file has a temporary name), the
    ; installer once it is written; a failure stops the build.
    !uninstfinalize '"${PYTHON}" "${SIGN_FILE}" "${FACTS}" "${SIGNATURES}" "%1" "${UNINSTALLER}"' = 0
    !finalize '"${PYTHON}" "${SIGN_FILE}" "${FACTS}" "${SIGNATURES}" "%1"' = 0
!endif

VIProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey ProductName "${APP}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${APP} setup"
VIAddVersionKey LegalCopyright "${COPYRIGHT}"

Var writable
; The earlier install's folder, from its Apps entry; empty for a fresh install.
Var previous
; 1 when the earlier install's folder is $INSTDIR under another spelling.
Var samePlace
; The highest folder this run made for $INSTDIR; "" when it made none.
Var createdTop
Var finishText

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The pictures are drawn from the program's own (tools/release/make_installer_art.py).
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${ART}/header.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${ART}/finish.bmp"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "Options"
!define MUI_PAGE_HEADER_SUBTEXT "How ${APP} is started."
!define MUI_COMPONENTSPAGE_TEXT_TOP "A Start-menu shortcut starts ${APP} when you want it; \
    starting it when you sign in keeps the meter in the notification area all the time. \
    Uncheck what you do not want."
!define MUI_COMPONENTSPAGE_TEXT_COMPLIST "Options:"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Run ${APP} now"
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
; Windows 10 and 11 put a new notification icon out of sight: the page says where it is
; there, and only there links to the taskbar's settings (no handler before Windows 10).
!define MUI_PAGE_CUSTOMFUNCTION_PRE FinishPagePre
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!define MUI_FINISHPAGE_TEXT "$finishText"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_LINK "Show the icon on the taskbar"
!define MUI_FINISHPAGE_LINK_LOCATION "ms-settings:taskbar"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

!include shared.nsh
!include folder.nsh

; One value of a version block, in OUT ("" without it); uses $7-$9.
!macro VersionString BLOCK NAME OUT
    System::Call "version::VerQueryValueW(p ${BLOCK}, w '${NAME}', *p .r8, *i .r9) i .r7"
    StrCpy ${OUT} ""
    ${If} $7 != 0
        System::Call "kernel32::lstrcpynW(w .r7, p r8, i ${NSIS_MAX_STRLEN})"
        StrCpy ${OUT} $7
    ${EndIf}
!macroend

; Deletes the file on the stack only when its version block names our publisher and product:
; a file of that name may be another program's or the user's. $R0 says which it was: "ours",
; "none" (no version block) or "other". Uses $0-$9.
Function DeleteIfOurs
    Pop $0
    StrCpy $5 ""
    StrCpy $6 ""
    StrCpy $R0 "none"
    System::Call "version::GetFileVersionInfoSizeW(w r0, p 0) i .r1"
    ${If} $1 > 0
        System::Alloc $1
        Pop $2
        System::Call "version::GetFileVersionInfoW(w r0, i 0, i r1, p r2) i .r3"
        ${If} $3 != 0
            StrCpy $R0 "other"
            System::Call "version::VerQueryValueW(p r2, w '\VarFileInfo\Translation', *p .r3, *i .r4) i .r1"
            ${If} $1 != 0
            ${AndIf} $4 >= 4
                System::Call "*$3(&i2 .r3, &i2 .r4)"
                IntFmt $3 "%04x" $3
                IntFmt $4 "%04x" $4
                StrCpy $3 "\StringFileInfo\$3$4\"
                !insertmacro VersionString $2 "$3CompanyName" $5
                !insertmacro VersionString $2 "$3ProductName" $6
            ${EndIf}
        ${EndIf}
        System::Free $2
    ${EndIf}
    ; The program and DLL say "Brindlewox Sorvagenta", the uninstaller "Sorvagenta".
    ${If} $5 == "${PUBLISHER}"
        ${If} $6 == "${APP}"
        ${OrIf} $6 == "${PUBLISHER} ${APP}"
            Delete "$0"
            StrCpy $R0 "ours"
        ${EndIf}
    ${EndIf}
FunctionEnd

; Puts one of the installed files in $INSTDIR: the uninstaller is made from the Uninstall
; section, the others are packed.
!macro PutInstalledFile NAME
    !if "${NAME}" == "${UNINSTALLER}"
        WriteUninstaller "$INSTDIR\${NAME}"
    !else
        File "${BINDIR}/${NAME}"
    !endif
!macroend

; The verdict of DeleteIfOurs on the earlier install's program.
Var previousProgram
; Deletes one installed file from the earlier install's folder when it is ours. Earlier
; builds' DLL had no version block: beside our program it is ours.
!macro DeleteEarlierFileIfOurs NAME
    Push "$previous\${NAME}"
    Call DeleteIfOurs
    !if "${NAME}" == "${PROGRAM}"
        StrCpy $previousProgram $R0
    !else if "${NAME}" == "${LIBRARY}"
        ${If} $R0 == "none"
        ${AndIf} $previousProgram == "ours"
            Delete "$previous\${NAME}"
        ${EndIf}
    !endif
!macroend

Function DirectoryLeave
    ${FullFolder} $INSTDIR $INSTDIR
    Call CheckWritable
    ${If} $writable == 0
        MessageBox MB_ICONEXCLAMATION "$INSTDIR cannot be written to. Choose another folder."
        Abort
    ${EndIf}
    Call CheckOwner
    ${If} $0 == 0
        MessageBox MB_ICONEXCLAMATION "${NOT_OWN_FOLDER} Choose another folder."
        Abort
    ${EndIf}
FunctionEnd

Section "-Program files"
    AddSize ${UNINSTALLER_KB}
    ; One form of the folder before anything uses it: "C:\Apps\x\..\${APP}" must not be taken
    ; for another folder than "C:\Apps\${APP}".
    ${FullFolder} $INSTDIR $INSTDIR
    Call CheckWritable
    ${If} $writable == 0
        MessageBox MB_ICONEXCLAMATION "$INSTDIR cannot be written to: nothing was installed." /SD IDOK
        Abort "$INSTDIR cannot be written to."
    ${EndIf}
    Call CheckOwner
    ${If} $0 == 0
        MessageBox MB_ICONEXCLAMATION "${NOT_OWN_FOLDER} Nothing was installed." /SD IDOK
        Abort "$INSTDIR is in a folder of another account."
    ${EndIf}
    Call MakeInstallFolder
    Call EndRunningCopy
    !insertmacro ForEachInstalledFile PutInstalledFile
    ; An earlier version's uninstaller had a name other programs use too.
    Push "$INSTDIR\Uninstall.exe"
    Call DeleteIfOurs

    WriteRegStr HKCU "${APPS_KEY}" DisplayName "${APP}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKCU "${APPS_KEY}" Publisher "${PUBLISHER}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayIcon "$INSTDIR\${PROGRAM}"
    WriteRegStr HKCU "${APPS_KEY}" InstallLocation "$INSTDIR"
    WriteRegStr HKCU "${APPS_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${APPS_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${APPS_KEY}" NoModify 1
    WriteRegDWORD HKCU "${APPS_KEY}" NoRepair 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${APPS_KEY}" EstimatedSize $0

    ; Installed into another folder (found by the file system, not by name): the earlier
    ; one keeps everything that is not ours.
    ${If} $previous != ""
    ${AndIf} $samePlace == 0
        !insertmacro ForEachInstalledFile DeleteEarlierFileIfOurs
        Push "$previous\Uninstall.exe"
        Call DeleteIfOurs
        RMDir "$previous"
    ${EndIf}
SectionEnd

Section "Start-menu shortcut" SecShortcut
    CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${PROGRAM}"
SectionEnd

Section "Start ${APP} when I sign in" SecStartup
    WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

Section "-Finish"
    ; A repair or upgrade without an option takes away what an earlier install made.
    ${IfNot} ${SectionIsSelected} ${SecShortcut}
        Delete "$SMPROGRAMS\${APP}.lnk"
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
    ${EndIf}
    ; It also puts back a copy that was running.
    ${If} $wasRunning == 1
        Exec '"$INSTDIR\${PROGRAM}"'
    ${EndIf}
SectionEnd

Function FinishPagePre
    StrCpy $finishText "${APP} has been installed on your computer."
    ${If} ${AtLeastWin10}
        StrCpy $finishText "$finishText$\r$\n$\r$\nWindows puts a new notification icon in the \
            overflow area, behind the arrow beside the clock. To keep the meter in view, drag \
            its icon onto the taskbar, or turn it on in the taskbar's settings (the link below)."
    ${EndIf}
FunctionEnd

Function FinishPageShow
    ${IfNot} ${AtLeastWin10}
        ShowWindow $mui.FinishPage.Link ${SW_HIDE}
    ${EndIf}
FunctionEnd

; A second copy would only say that one is running already.
Function RunProgram
    Call FindRunningCopy
    ${If} $runningWindow == 0
        Exec '"$INSTDIR\${PROGRAM}"'
    ${EndIf}
FunctionEnd

; After the sections, so that their ids are known.
Function .onInit
    !insertmacro OneAtATime
    ; Over an earlier install the options start as it left them; fresh, both are on.
    ReadRegStr $previous HKCU "${APPS_KEY}" InstallLocation
    ${If} $previous != ""
        ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
        ${If} $0 == ""
            !insertmacro UnselectSection ${SecStartup}
        ${EndIf}
        ${IfNot} ${FileExists} "$SMPROGRAMS\${APP}.lnk"
            !insertmacro UnselectSection ${SecShortcut}
        ${EndIf}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOSTARTUP" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
FunctionEnd

!include uninstall.nsh
