; Sorvagenta's per-user installer. makensis is given VERSION (from res/version.h), BINDIR
; (the built Sorvagenta.exe and Tamsprock.dll), ICON, ART (the pages' pictures) and OUTFILE;
; for a signed release also PYTHON, SIGN_FILE (tools/release/sign_file.py) and SIGNATURES.
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
; A name of our own: a folder may already hold another program's Uninstall.exe.
!define UNINSTALLER "Uninstall ${APP}.exe"
!define NOT_OWN_FOLDER "$INSTDIR is outside your profile in a folder that another account \
    owns, which could change the program there."
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
    !uninstfinalize '"${PYTHON}" "${SIGN_FILE}" "${SIGNATURES}" "%1" "${UNINSTALLER}"' = 0
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

; The highest folder of $INSTDIR's path that does not exist yet, on the stack ("" when
; $INSTDIR exists).
Function NewFoldersTop
    Push $0
    Push $1
    StrCpy $0 $INSTDIR
    StrCpy $1 ""
    ${DoUntil} ${FileExists} "$0\*.*"
        StrCpy $1 $0
        ${GetParent} $0 $0
        ${IfThen} $0 == "" ${|} ${Break} ${|}
    ${Loop}
    StrCpy $0 $1
    Pop $1
    Exch $0
FunctionEnd

; Removes the folders made for $INSTDIR, up to the one on the stack, each only while empty.
Function RemoveNewFolders
    Exch $0
    Push $1
    StrCpy $1 $INSTDIR
    ${If} $0 != ""
        ${Do}
            RMDir $1
            ${IfThen} $1 == $0 ${|} ${Break} ${|}
            ${GetParent} $1 $1
            ${IfThen} $1 == "" ${|} ${Break} ${|}
        ${Loop}
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Sets $writable to 1 when the folder can be written to, and $samePlace to 1 when the earlier
; install's folder is this one by another name (the test file shows there too: a drive
; letter, a junction or a short name may all lead to one folder). Leaves nothing of its own.
Function CheckWritable
    Call NewFoldersTop
    Pop $2
    ClearErrors
    CreateDirectory "$INSTDIR"
    ; The process id keeps a test file left by a crash elsewhere from counting.
    System::Call "kernel32::GetCurrentProcessId() i .r1"
    StrCpy $1 "${APP}-$1.write-test"
    FileOpen $0 "$INSTDIR\$1" w
    ; Testing the error flag clears it: keep the answer.
    StrCpy $writable 1
    StrCpy $samePlace 0
    ${If} ${Errors}
        StrCpy $writable 0
    ${Else}
        FileClose $0
        ${If} $previous != ""
        ${AndIf} ${FileExists} "$previous\$1"
            StrCpy $samePlace 1
        ${EndIf}
        Delete "$INSTDIR\$1"
    ${EndIf}
    Push $2
    Call RemoveNewFolders
FunctionEnd

; The folder on the top of the stack in one form: a full path without "\\?\", "." or "..",
; trailing dots or spaces, or a trailing backslash, in long names as far as it exists (NSIS
; compares strings without regard to case). The installer puts $INSTDIR through it first.
!macro FullFolderFunction UN
Function ${UN}FullFolder
    Exch $0
    Push $1
    Push $2
    ; The prefix would turn off the normalising below.
    StrCpy $1 $0 8
    StrCpy $2 $0 4
    ${If} $1 == "\\?\UNC\"
        StrCpy $0 $0 "" 8
        StrCpy $0 "\\$0"
    ${ElseIf} $2 == "\\?\"
        StrCpy $0 $0 "" 4
    ${EndIf}
    System::Call "kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2"
    ${If} $2 > 0
    ${AndIf} $2 < ${NSIS_MAX_STRLEN}
        StrCpy $0 $1
    ${EndIf}
    System::Call "kernel32::GetLongPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2"
    ; 0 when it does not exist (yet): then as it is.
    ${If} $2 > 0
    ${AndIf} $2 < ${NSIS_MAX_STRLEN}
        StrCpy $0 $1
    ${EndIf}
    ; A drive's root keeps its backslash.
    ${Do}
        StrCpy $1 $0 1 -1
        StrCpy $2 $0 1 -2
        ${IfThen} $1 != "\" ${|} ${Break} ${|}
        ${IfThen} $2 == ":" ${|} ${Break} ${|}
        StrCpy $0 $0 -1
    ${Loop}
    Pop $2
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro FullFolderFunction ""
!insertmacro FullFolderFunction "un."

; Only one installer or uninstaller at a time.
!macro OneAtATime
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${APP}Setup") p .r0 ?e'
    Pop $0
    ${If} $0 == ${ERROR_ALREADY_EXISTS}
        MessageBox MB_ICONEXCLAMATION "The ${APP} installer is already running." /SD IDOK
        Abort
    ${EndIf}
!macroend

; The SID at the address on the stack, replaced by its text ("" when it cannot be read).
Function SidText
    Exch $0
    Push $1
    Push $2
    System::Call "advapi32::ConvertSidToStringSidW(p r0, *p .r1) i .r2"
    StrCpy $0 ""
    ${If} $2 != 0
        System::Call "kernel32::lstrcpynW(w .r0, p r1, i ${NSIS_MAX_STRLEN})"
        System::Call "kernel32::LocalFree(p r1)"
    ${EndIf}
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; This user's SID as text, in $0 ("" when unknown).
Function UserSid
    StrCpy $0 ""
    System::Call "kernel32::GetCurrentProcess() p .r1"
    System::Call "advapi32::OpenProcessToken(p r1, i 0x8, *p .r1) i .r2"
    ${If} $2 != 0
        System::Alloc 256
        Pop $3
        System::Call "advapi32::GetTokenInformation(p r1, i 1, p r3, i 256, *i .r4) i .r2"
        ${If} $2 != 0
            System::Call "*$3(p .r4)"
            Push $4
            Call SidText
            Pop $0
        ${EndIf}
        System::Free $3
        System::Call "kernel32::CloseHandle(p r1)"
    ${EndIf}
FunctionEnd

; $0 is 1 when $INSTDIR is inside the user's profile (both in their full form, so ".."
; cannot lead out of it).
Function InProfile
    Push $PROFILE
    Call FullFolder
    Pop $1
    StrLen $2 $1
    StrCpy $3 $INSTDIR $2
    StrCpy $4 $INSTDIR 1 $2
    StrCpy $0 0
    ${If} $3 == $1
    ${AndIf} $4 == "\"
        StrCpy $0 1
    ${EndIf}
FunctionEnd

; Outside the profile, a folder that is already there may have been made by another account,
; which could then change the program the sign-in entry starts. $0 is 1 when the folder the
; install goes into (or under) is this user's own, or a drive's root; else 0.
Function CheckOwner
    Call InProfile
    ${IfThen} $0 == 1 ${|} Return ${|}
    StrCpy $5 $INSTDIR
    ${DoUntil} ${FileExists} "$5\*.*"
        ${GetParent} $5 $5
        ${IfThen} $5 == "" ${|} ${Break} ${|}
    ${Loop}
    ${GetParent} $5 $6
    ${If} $6 == ""
        StrCpy $0 1
        Return
    ${EndIf}
    Call UserSid
    StrCpy $7 $0
    StrCpy $0 0
    ; SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION
    System::Call "advapi32::GetNamedSecurityInfoW(w r5, i 1, i 1, *p .r1, p 0, p 0, p 0, *p .r2) i .r3"
    ${If} $3 == 0
        Push $1
        Call SidText
        Pop $1
        System::Call "kernel32::LocalFree(p r2)"
        ${If} $1 == $7
        ${AndIf} $7 != ""
            StrCpy $0 1
        ${EndIf}
    ${EndIf}
FunctionEnd

; Makes the folders $INSTDIR needs. One made outside the profile would inherit its parent's
; rights, and under a drive's root those let any signed-in account change it, and so the
; program the sign-in entry starts: the highest new folder is kept to this user, SYSTEM and
; Administrators before anything goes in, and the folders below inherit that. A failure
; stops the install (.onInstFailed removes the new folders).
Function MakeInstallFolder
    Call NewFoldersTop
    Pop $createdTop
    ${If} $createdTop != ""
        CreateDirectory "$createdTop"
        Call InProfile
        ${If} $0 == 0
            Call UserSid
            StrCpy $1 "this user's SID is unknown"
            ${If} $0 != ""
                nsExec::Exec '"$SYSDIR\icacls.exe" "$createdTop" /inheritance:r \
                    /grant:r "*$0:(OI)(CI)F" "*S-1-5-18:(OI)(CI)F" "*S-1-5-32-544:(OI)(CI)F"'
                Pop $1
                StrCpy $1 "icacls: $1"
            ${EndIf}
            ${If} $1 != "icacls: 0"
                MessageBox MB_ICONSTOP "The rights of $createdTop could not be set ($1): \
                    nothing was installed." /SD IDOK
                Abort "The rights of $createdTop could not be set ($1)."
            ${EndIf}
        ${EndIf}
    ${EndIf}
    SetOutPath "$INSTDIR"
    ; Long names, now that it exists.
    Push $INSTDIR
    Call FullFolder
    Pop $INSTDIR
FunctionEnd

Function .onInstFailed
    Push $createdTop
    Call RemoveNewFolders
FunctionEnd

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

Function DirectoryLeave
    Push $INSTDIR
    Call FullFolder
    Pop $INSTDIR
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
    Push $INSTDIR
    Call FullFolder
    Pop $INSTDIR
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
    !insertmacro EndRunningCopy
    File "${BINDIR}/${APP}.exe"
    File "${BINDIR}/Tamsprock.dll"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; An earlier version's uninstaller had a name other programs use too.
    Push "$INSTDIR\Uninstall.exe"
    Call DeleteIfOurs

    WriteRegStr HKCU "${APPS_KEY}" DisplayName "${APP}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKCU "${APPS_KEY}" Publisher "${PUBLISHER}"
    WriteRegStr HKCU "${APPS_KEY}" DisplayIcon "$INSTDIR\${APP}.exe"
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
        Push "$previous\${APP}.exe"
        Call DeleteIfOurs
        StrCpy $R1 $R0
        Push "$previous\Tamsprock.dll"
        Call DeleteIfOurs
        ; Earlier builds' DLL had no version block: beside our program it is ours.
        ${If} $R0 == "none"
        ${AndIf} $R1 == "ours"
            Delete "$previous\Tamsprock.dll"
        ${EndIf}
        Push "$previous\${UNINSTALLER}"
        Call DeleteIfOurs
        Push "$previous\Uninstall.exe"
        Call DeleteIfOurs
        RMDir "$previous"
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
    Call un.FullFolder
    Pop $6
    Call un.ShortcutFolder
    Push $0
    Call un.FullFolder
    Pop $7
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 -1 1
    ${EndIf}
    ${GetParent} $0 $0
    Push $0
    Call un.FullFolder
    Pop $8
    ReadRegStr $0 HKCU "${APPS_KEY}" InstallLocation
    Push $0
    Call un.FullFolder
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
                Call un.FullFolder
                Pop $5
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $5 == $6
        !insertmacro EndRunningCopy
    ${EndIf}
    Delete "$INSTDIR\${APP}.exe"
    Delete "$INSTDIR\Tamsprock.dll"
    Delete "$INSTDIR\${UNINSTALLER}"
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
