; Sorvagenta's per-user installer. makensis is given VERSION (from res/version.h), BINDIR
; (the built Sorvagenta.exe and Tamsprock.dll), ICON and OUTFILE; for a signed release also
; PYTHON, SIGN_FILE (scripts/sign_file.py) and SIGNATURES.
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

!define APP "Sorvagenta"
!define PUBLISHER "Brindlewox"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPS_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define ERROR_ALREADY_EXISTS 183

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Run ${APP} now"
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
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
        System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r3"
        System::Call "kernel32::CloseHandle(p r2)"
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

Function DirectoryLeave
    Call CheckWritable
    ${If} $writable == 0
        MessageBox MB_ICONEXCLAMATION "$INSTDIR cannot be written to. Choose another folder."
        Abort
    ${EndIf}
FunctionEnd

Section "-Program files"
    Call CheckWritable
    ${If} $writable == 0
        MessageBox MB_ICONEXCLAMATION "$INSTDIR cannot be written to: nothing was installed." /SD IDOK
        Abort "$INSTDIR cannot be written to."
    ${EndIf}
    !insertmacro EndRunningCopy
    SetOutPath "$INSTDIR"
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

; A second copy would only say that one is running already.
Function RunProgram
    FindWindow $0 "${APP}"
    ${If} $0 == 0
        Exec '"$INSTDIR\${APP}.exe"'
    ${EndIf}
FunctionEnd

; After the sections, so that their ids are known.
Function .onInit
    ; One installer at a time.
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${APP}Setup") p .r0 ?e'
    Pop $0
    ${If} $0 == ${ERROR_ALREADY_EXISTS}
        MessageBox MB_ICONEXCLAMATION "The ${APP} installer is already running." /SD IDOK
        Abort
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOSTARTUP" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    !insertmacro EndRunningCopy
    Delete "$INSTDIR\${APP}.exe"
    Delete "$INSTDIR\Tamsprock.dll"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only if empty: a user's own files stay, and so does their folder.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${APP}.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
    DeleteRegKey HKCU "${APPS_KEY}"
SectionEnd
