; Sorvagenta's per-user installer. makensis is given VERSION (from res/version.h), BINDIR
; (the built Sorvagenta.exe and Tamsprock.dll), ICON, ART (the pages' pictures) and OUTFILE;
; for a signed release also PYTHON, SIGN_FILE (scripts/sign_file.py) and SIGNATURES.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The files' own times would make every build's installer differ.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include Sections.nsh
!include WinVer.nsh

!define APP "Sorvagenta"
!define PUBLISHER "Brindlewox"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where Task Manager keeps a sign-in entry's "disabled" flag.
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define APPS_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define ERROR_ALREADY_EXISTS 183
; The uninstaller is written, not packed as a file, so "Space required" would leave it out:
; the installer tool's stub and our uninstall code (112 KB), and room for a signature with its
; certificate chain (the test's signer and CA take 2.3 KB).
!define UNINSTALLER_KB 120

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
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
    !uninstfinalize '"${PYTHON}" "${SIGN_FILE}" "${SIGNATURES}" "%1" Uninstall.exe' = 0
    !finalize '"${PYTHON}" "${SIGN_FILE}" "${SIGNATURES}" "%1"' = 0
!endif

VIProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey ProductName "${APP}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${APP} setup"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

Var wasRunning
Var writable
; The earlier install's folder, from its Apps entry; empty for a fresh install.
Var previous
Var newFolder
Var finishText

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The pictures are drawn from the program's own (tools/installer/make_installer_art.py).
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

; Ends a running copy the way the program supports: WM_CLOSE to its hidden window, which
; removes the icon and exits. Waits up to 10 s for the process and never kills it. Sets
; $wasRunning; aborts (having touched nothing) if the user gives up or when silent.
!macro EndRunningCopy
    StrCpy $wasRunning 0
    ${Do}
        FindWindow $0 "${APP}"
        ${If} $0 == 0
            ${Break}
        ${EndIf}
        StrCpy $wasRunning 1
        System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
        System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2"
        System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
        ${If} $2 != 0
            System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r3"
            System::Call "kernel32::CloseHandle(p r2)"
        ${Else}
            ; A process this user may not open (another account's copy): its window going
            ; is the sign that it ended.
            StrCpy $3 1
            ${For} $4 1 100
                System::Call "user32::IsWindow(p r0) i .r5"
                ${If} $5 == 0
                    StrCpy $3 0
                    ${Break}
                ${EndIf}
                Sleep 100
            ${Next}
        ${EndIf}
        ${If} $3 != 0
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                "${APP} is running and did not close. Close it from its icon's menu, then choose Retry." \
                /SD IDCANCEL IDRETRY +2
            Abort "${APP} is still running: nothing was changed."
        ${EndIf}
    ${Loop}
!macroend

; Sets $writable to 1 when the folder can be written to; leaves nothing of its own.
Function CheckWritable
    StrCpy $1 0
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
        StrCpy $1 1
    ${EndIf}
    ClearErrors
    CreateDirectory "$INSTDIR"
    FileOpen $0 "$INSTDIR\${APP}.write-test" w
    ; Testing the error flag clears it: keep the answer.
    StrCpy $writable 1
    ${If} ${Errors}
        StrCpy $writable 0
    ${Else}
        FileClose $0
        Delete "$INSTDIR\${APP}.write-test"
    ${EndIf}
    ${If} $1 == 1
        RMDir "$INSTDIR"
    ${EndIf}
FunctionEnd

; The folder on the top of the stack, replaced by the form that comparisons use: long names,
; no trailing backslash (NSIS compares strings without regard to case).
!macro FolderKeyFunction UN
Function ${UN}FolderKey
    Exch $0
    Push $1
    Push $2
    System::Call "kernel32::GetLongPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2"
    ; 0 when it no longer exists: then as written.
    ${If} $2 > 0
    ${AndIf} $2 < ${NSIS_MAX_STRLEN}
        StrCpy $0 $1
    ${EndIf}
    ${Do}
        StrCpy $1 $0 1 -1
        ${IfThen} $1 != "\" ${|} ${Break} ${|}
        StrCpy $0 $0 -1
    ${Loop}
    Pop $2
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro FolderKeyFunction ""
!insertmacro FolderKeyFunction "un."

; Only one installer or uninstaller at a time.
!macro OneAtATime
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${APP}Setup") p .r0 ?e'
    Pop $0
    ${If} $0 == ${ERROR_ALREADY_EXISTS}
        MessageBox MB_ICONEXCLAMATION "The ${APP} installer is already running." /SD IDOK
        Abort
    ${EndIf}
!macroend

; A folder made outside the user's profile would inherit the rights of its parent, and
; under a drive's root those let any signed-in account change it, and so the program the
; sign-in entry starts. Keeps it to this user, SYSTEM and Administrators.
Function RestrictNewFolder
    StrLen $0 $PROFILE
    StrCpy $1 $INSTDIR $0
    StrCpy $2 $INSTDIR 1 $0
    ${If} $1 == $PROFILE
    ${AndIf} $2 == "\"
        Return
    ${EndIf}
    ; This user's SID, as text.
    StrCpy $0 ""
    System::Call "kernel32::GetCurrentProcess() p .r1"
    System::Call "advapi32::OpenProcessToken(p r1, i 0x8, *p .r1) i .r2"
    ${If} $2 != 0
        System::Alloc 256
        Pop $3
        System::Call "advapi32::GetTokenInformation(p r1, i 1, p r3, i 256, *i .r4) i .r2"
        ${If} $2 != 0
            System::Call "*$3(p .r4)"
            System::Call "advapi32::ConvertSidToStringSidW(p r4, *p .r5) i .r2"
            ${If} $2 != 0
                System::Call "*$5(&w256 .r0)"
                System::Call "kernel32::LocalFree(p r5)"
            ${EndIf}
        ${EndIf}
        System::Free $3
        System::Call "kernel32::CloseHandle(p r1)"
    ${EndIf}
    ${If} $0 == ""
        DetailPrint "The folder's rights were left as inherited: this user's SID is unknown."
        Return
    ${EndIf}
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r \
        /grant:r "*$0:(OI)(CI)F" "*S-1-5-18:(OI)(CI)F" "*S-1-5-32-544:(OI)(CI)F"'
    Pop $0
    DetailPrint "icacls: $0"
FunctionEnd

Function DirectoryLeave
    Call CheckWritable
    ${If} $writable == 0
        MessageBox MB_ICONEXCLAMATION "$INSTDIR cannot be written to. Choose another folder."
        Abort
    ${EndIf}
FunctionEnd

Section "-Program files"
    AddSize ${UNINSTALLER_KB}
    Call CheckWritable
    ${If} $writable == 0
        MessageBox MB_ICONEXCLAMATION "$INSTDIR cannot be written to: nothing was installed." /SD IDOK
        Abort "$INSTDIR cannot be written to."
    ${EndIf}
    !insertmacro EndRunningCopy
    StrCpy $newFolder 1
    ${If} ${FileExists} "$INSTDIR\*.*"
        StrCpy $newFolder 0
    ${EndIf}
    SetOutPath "$INSTDIR"
    ${If} $newFolder == 1
        Call RestrictNewFolder
    ${EndIf}
    File "${BINDIR}/${APP}.exe"
    File "${BINDIR}/Tamsprock.dll"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    WriteRegStr HKCU "${APPS_KEY}" DisplayName "${APP}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKCU "${APPS_KEY}" Publisher "${PUBLISHER}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayIcon "$INSTDIR\${APP}.exe"
    WriteRegStr HKCU "${APPS_KEY}" InstallLocation "$INSTDIR"
    WriteRegStr HKCU "${APPS_KEY}" UninstallString '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${APPS_KEY}" QuietUninstallString '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${APPS_KEY}" NoModify 1
    WriteRegDWORD HKCU "${APPS_KEY}" NoRepair 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${APPS_KEY}" EstimatedSize $0

    ; Installed into another folder: the earlier one keeps only the user's own files.
    ${If} $previous != ""
        Push $previous
        Call FolderKey
        Push $INSTDIR
        Call FolderKey
        Pop $1
        Pop $0
        ${If} $0 != $1
            Delete "$previous\${APP}.exe"
            Delete "$previous\Tamsprock.dll"
            Delete "$previous\Uninstall.exe"
            RMDir "$previous"
        ${EndIf}
    ${EndIf}
SectionEnd

Section "Start-menu shortcut" SecShortcut
    CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${APP}.exe"
SectionEnd

Section "Start ${APP} when I sign in" SecStartup
    WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\${APP}.exe"'
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
        Exec '"$INSTDIR\${APP}.exe"'
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
    FindWindow $0 "${APP}"
    ${If} $0 == 0
        Exec '"$INSTDIR\${APP}.exe"'
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

Function un.onInit
    !insertmacro OneAtATime
FunctionEnd

!define CLSID_ShellLink {00021401-0000-0000-C000-000000000046}
!define IID_IShellLinkW {000214F9-0000-0000-C000-000000000046}
!define IID_IPersistFile {0000010B-0000-0000-C000-000000000046}
; The folder of the program the Start-menu shortcut starts, in $0 ("" without one).
Function un.ShortcutFolder
    StrCpy $0 ""
    System::Call "ole32::CoInitializeEx(p 0, i 2) i .r4"
    System::Call "ole32::CoCreateInstance(g '${CLSID_ShellLink}', p 0, i 1, g '${IID_IShellLinkW}', *p .r1) i .r2"
    ${If} $2 == 0
        ; IShellLinkW: its IPersistFile loads the shortcut, then GetPath.
        System::Call "$1->0(g '${IID_IPersistFile}', *p .r3) i .r2"
        ${If} $2 == 0
            System::Call "$3->5(w '$SMPROGRAMS\${APP}.lnk', i 0) i .r2"
            ${If} $2 == 0
                System::Call "$1->3(w .r5, i ${NSIS_MAX_STRLEN}, p 0, i 0) i .r2"
                ${If} $2 == 0
                    ${GetParent} $5 $0
                ${EndIf}
            ${EndIf}
            System::Call "$3->2()"
        ${EndIf}
        System::Call "$1->2()"
    ${EndIf}
    ${If} $4 >= 0
        System::Call "ole32::CoUninitialize()"
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ; A stale copy of the uninstaller elsewhere leaves the live install's entries alone:
    ; each goes only when it points at this folder. Compared while the folders exist.
    Push $INSTDIR
    Call un.FolderKey
    Pop $6
    Call un.ShortcutFolder
    Push $0
    Call un.FolderKey
    Pop $7
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 -1 1
    ${EndIf}
    ${GetParent} $0 $0
    Push $0
    Call un.FolderKey
    Pop $8
    ReadRegStr $0 HKCU "${APPS_KEY}" InstallLocation
    Push $0
    Call un.FolderKey
    Pop $9
    ; A copy running from another folder is not this uninstaller's to end.
    StrCpy $5 $6
    FindWindow $0 "${APP}"
    ${If} $0 != 0
        System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
        System::Call "kernel32::OpenProcess(i 0x1000, i 0, i r1) p .r2"
        ${If} $2 != 0
            System::Call "kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i .r4"
            System::Call "kernel32::CloseHandle(p r2)"
            ${If} $4 != 0
                ${GetParent} $3 $3
                Push $3
                Call un.FolderKey
                Pop $5
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $5 == $6
        !insertmacro EndRunningCopy
    ${EndIf}
    Delete "$INSTDIR\${APP}.exe"
    Delete "$INSTDIR\Tamsprock.dll"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only if empty: a user's own files stay, and so does their folder.
    RMDir "$INSTDIR"
    ${If} $7 == $6
        Delete "$SMPROGRAMS\${APP}.lnk"
    ${EndIf}
    ${If} $8 == $6
        DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
    ${EndIf}
    ; Task Manager's flag goes with the entry it was about.
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    ${If} $0 == ""
        DeleteRegValue HKCU "${APPROVED_KEY}" "${APP}"
    ${EndIf}
    ${If} $9 == $6
        DeleteRegKey HKCU "${APPS_KEY}"
    ${EndIf}
SectionEnd
