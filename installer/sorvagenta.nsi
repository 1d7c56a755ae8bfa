; Sorvagenta's per-user installer. makensis is given the product's facts and the names derived
; from them (cmake/product.cmake): APP, PUBLISHER, VERSION, COPYRIGHT, PROGRAM and LIBRARY (the
; shipped files), UNINSTALLER and INSTALL_FOLDER (the default one, under $LOCALAPPDATA); and
; BINDIR (the built program files), ICON, ART (the pages' pictures) and OUTFILE; for a signed
; release also PYTHON, SIGN_FILE (tools/release/sign_file.py), FACTS (the build's release.json)
; and SIGNATURES. This file holds the settings, pages and installer sections; shared.nsh what
; the uninstaller uses too, folder.nsh the checks of the install folder and the putting of the
; files there, uninstall.nsh the uninstaller.
; Every function takes its arguments from the stack, leaves its results on the stack or in
; named variables, and gives back the registers $0-$9 (and $R0-$R9) it uses as it found them.
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
!include WordFunc.nsh

!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where Task Manager keeps a sign-in entry's "disabled" flag.
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define APPS_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
; What the Apps entry keeps for the uninstaller: the highest folder the install made, and the
; Start-menu shortcut it made.
!define CREATED_VALUE "SorvagentaCreatedFolder"
!define SHORTCUT_VALUE "SorvagentaShortcut"
!define SHORTCUT "$SMPROGRAMS\${APP}.lnk"
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
; That of the earlier install, from its Apps entry.
Var previousTop
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

; One value of a version block, in OUT ("" without it); uses $7-$9 (the caller keeps them).
!macro VersionString BLOCK NAME OUT
    System::Call "version::VerQueryValueW(p ${BLOCK}, w '${NAME}', *p .r8, *i .r9) i .r7"
    StrCpy ${OUT} ""
    ${If} $7 != 0
        System::Call "kernel32::lstrcpynW(w .r7, p r8, i ${NSIS_MAX_STRLEN})"
        StrCpy ${OUT} $7
    ${EndIf}
!macroend

; Deletes the file on the stack only when its version block names our publisher and product:
; a file of that name may be another program's or the user's. Leaves on the stack which it
; was: "ours", "none" (no version block) or "other".
Function DeleteIfOurs
    Exch $0
    Push $R0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    Push $9
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
    StrCpy $0 $R0
    Pop $9
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $R0
    Exch $0
FunctionEnd

; The verdict of DeleteIfOurs on the earlier install's program.
Var previousProgram
; Deletes one installed file from the earlier install's folder when it is ours. Earlier
; builds' DLL had no version block: beside our program it is ours.
!macro DeleteEarlierFileIfOurs NAME
    Push "$previous\${NAME}"
    Call DeleteIfOurs
    !if "${NAME}" == "${PROGRAM}"
        Pop $previousProgram
    !else if "${NAME}" == "${LIBRARY}"
        Pop $R0
        ${If} $R0 == "none"
        ${AndIf} $previousProgram == "ours"
            Delete "$previous\${NAME}"
        ${EndIf}
    !else
        Pop $R0
    !endif
!macroend

Function DirectoryLeave
    Push $R0
    ${FullFolder} $INSTDIR $INSTDIR
    !insertmacro CheckInstallFolder "Choose another folder." "Abort"
    Pop $R0
FunctionEnd

; Adds the file's size in bytes to $0.
!macro AddInstalledFileSize NAME
    ${GetSize} "$INSTDIR" "/M=${NAME} /S=0B /G=0" $1 $2 $3
    IntOp $0 $0 + $1
!macroend

Section "-Program files"
    AddSize ${UNINSTALLER_KB}
    ; One form of the folder before anything uses it: "C:\Apps\x\..\${APP}" must not be taken
    ; for another folder than "C:\Apps\${APP}".
    ${FullFolder} $INSTDIR $INSTDIR
    !insertmacro CheckInstallFolder "Nothing was installed." 'Abort "Nothing was installed."'
    Call MakeInstallFolder
    Call EndRunningCopy
    Call PutInstalledFiles
    ; An earlier version's uninstaller had a name other programs use too.
    Push "$INSTDIR\Uninstall.exe"
    Call DeleteIfOurs
    Pop $R0

    WriteRegStr HKCU "${APPS_KEY}" DisplayName "${APP}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKCU "${APPS_KEY}" Publisher "${PUBLISHER}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayIcon "$INSTDIR\${PROGRAM}"
    WriteRegStr HKCU "${APPS_KEY}" InstallLocation "$INSTDIR"
    WriteRegStr HKCU "${APPS_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${APPS_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${APPS_KEY}" NoModify 1
    WriteRegDWORD HKCU "${APPS_KEY}" NoRepair 1
    ; Our files alone: the folder may hold the user's too.
    StrCpy $0 0
    !insertmacro ForEachInstalledFile AddInstalledFileSize
    IntOp $0 $0 + 1023
    IntOp $0 $0 / 1024
    WriteRegDWORD HKCU "${APPS_KEY}" EstimatedSize $0
    ; The uninstaller removes the folders the install made, once empty; an upgrade in place
    ; made none, and keeps what the first install made.
    ${If} $createdTop != ""
        WriteRegStr HKCU "${APPS_KEY}" ${CREATED_VALUE} $createdTop
    ${ElseIf} $samePlace == 0
        DeleteRegValue HKCU "${APPS_KEY}" ${CREATED_VALUE}
    ${EndIf}

    ; Installed into another folder (found by the file system, not by name): the earlier
    ; one keeps everything that is not ours.
    ${If} $previous != ""
    ${AndIf} $samePlace == 0
        !insertmacro ForEachInstalledFile DeleteEarlierFileIfOurs
        Push "$previous\Uninstall.exe"
        Call DeleteIfOurs
        Pop $R0
        RMDir "$previous"
        Push "$previous"
        Push "$previousTop"
        Call RemoveEmptyFolders
    ${EndIf}
SectionEnd

Section "Start-menu shortcut" SecShortcut
    ; One of that name that no install of ours made is the user's, and stays as it is.
    ReadRegStr $0 HKCU "${APPS_KEY}" ${SHORTCUT_VALUE}
    ${If} $0 == "${SHORTCUT}"
    ${OrIfNot} ${FileExists} "${SHORTCUT}"
        CreateShortcut "${SHORTCUT}" "$INSTDIR\${PROGRAM}"
        ; By its path the uninstaller knows it, whatever the name of the folder it starts from.
        WriteRegStr HKCU "${APPS_KEY}" ${SHORTCUT_VALUE} "${SHORTCUT}"
    ${EndIf}
SectionEnd

Section "Start ${APP} when I sign in" SecStartup
    WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

Section "-Finish"
    ; A repair or upgrade without an option takes away what an earlier install made, and
    ; nothing of the same name that it did not make.
    ${IfNot} ${SectionIsSelected} ${SecShortcut}
        ReadRegStr $0 HKCU "${APPS_KEY}" ${SHORTCUT_VALUE}
        ${IfThen} $0 == "${SHORTCUT}" ${|} Delete "${SHORTCUT}" ${|}
        DeleteRegValue HKCU "${APPS_KEY}" ${SHORTCUT_VALUE}
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
        ${If} $0 == '"$INSTDIR\${PROGRAM}"'
        ${OrIf} $0 == '"$previous\${PROGRAM}"'
            DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
        ${EndIf}
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
        ReadRegStr $0 HKCU "${APPS_KEY}" ${SHORTCUT_VALUE}
        ${If} $0 != "${SHORTCUT}"
        ${OrIfNot} ${FileExists} "${SHORTCUT}"
            !insertmacro UnselectSection ${SecShortcut}
        ${EndIf}
        ReadRegStr $previousTop HKCU "${APPS_KEY}" ${CREATED_VALUE}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOSTARTUP" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
    Call CheckGivenFolder
FunctionEnd

; The folder /D= gave, as it stands, on the stack, after the switch as it was written; ""
; without one. It is the rest of the command line after " /D=" (the installer tool takes it
; so: last, unquoted, in capitals), which the tool cuts off $CMDLINE but not off the
; process's own command line. A /d= is found too: the tool passes it over.
Function GivenFolder
    Push $0
    Push $1
    Push $2
    Push $3
    System::Call "kernel32::GetCommandLineW() w .r3"
    StrCpy $0 ""
    StrLen $2 $3
    ${For} $1 0 $2
        StrCpy $0 $3 4 $1
        ${If} $0 == " /D="
            StrCpy $0 $3 "" $1
            ${Break}
        ${EndIf}
        StrCpy $0 ""
    ${Next}
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; A folder given by /D= that is no folder to install into is refused before anything is
; written: the installer tool would otherwise put another folder in its place (the earlier
; install's, or the default) without a word. Without /D=, an earlier install outside the
; profile moves into the default folder.
Function CheckGivenFolder
    Push $0
    Push $1
    Push $2
    Call GivenFolder
    Pop $0
    StrCpy $2 $0 4
    StrCpy $0 $0 "" 4
    ${If} $2 == ""
        Call FolderRefusal
        Pop $1
        ${If} $1 != ""
            StrCpy $INSTDIR "$LOCALAPPDATA\${INSTALL_FOLDER}"
        ${EndIf}
    ${Else}
        StrCpy $1 $0 2 1
        ${If} $2 S!= " /D="
            StrCpy $2 $2 "" 1
            StrCpy $1 "$2 is not taken: write /D= in capitals."
        ${Else}
            StrCpy $2 $0 2
            ${If} $1 != ":\"
            ${AndIf} $2 != "\\"
                StrCpy $1 "$0 is not a full path, such as $LOCALAPPDATA\${INSTALL_FOLDER}."
            ${Else}
                ${FullFolder} $0 $0
                ${FullFolder} $INSTDIR $INSTDIR
                StrCpy $1 ""
                ${If} $0 != $INSTDIR
                    StrCpy $1 "$0 is not a folder that can be installed into."
                ${EndIf}
                StrCpy $INSTDIR $0
            ${EndIf}
        ${EndIf}
        ${If} $1 == ""
            Call FolderRefusal
            Pop $1
        ${EndIf}
        ${If} $1 != ""
            MessageBox MB_ICONEXCLAMATION "$1 Nothing was installed." /SD IDOK
            Abort
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

!include uninstall.nsh
