; What the installer and the uninstaller share. NSIS keeps the uninstaller's code apart under
; names that start with "un.", so each function here is made twice, once with that prefix.
; Each gives back the registers it uses as it found them.

!define /ifndef PROCESS_QUERY_LIMITED_INFORMATION 0x1000

; The files an install leaves in its folder, each given by name to the macro DO.
!macro ForEachInstalledFile DO
    !insertmacro ${DO} "${PROGRAM}"
    !insertmacro ${DO} "${LIBRARY}"
    !insertmacro ${DO} "${UNINSTALLER}"
!macroend

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

; ${FullFolder} FOLDER OUT (and ${un.FullFolder} in the uninstaller).
!macro CallFullFolder UN FOLDER OUT
    Push "${FOLDER}"
    Call ${UN}FullFolder
    Pop ${OUT}
!macroend
!define FullFolder '!insertmacro CallFullFolder ""'
!define un.FullFolder '!insertmacro CallFullFolder "un."'

; Removes the folder under the stack's top (in full form) and those above it up to the
; folder on the top, each only while empty: what an install made for itself. Nothing when
; the top is "" or not that folder or one above it.
!macro RemoveEmptyFoldersFunction UN
Function ${UN}RemoveEmptyFolders
    Exch $0
    Exch
    Exch $1
    Push $2
    Push $3
    StrLen $2 "$0\"
    StrCpy $3 "$1\" $2
    ${If} $0 != ""
    ${AndIf} $3 == "$0\"
        ${Do}
            RMDir $1
            ${IfThen} $1 == $0 ${|} ${Break} ${|}
            ${GetParent} $1 $1
        ${LoopUntil} $1 == ""
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro RemoveEmptyFoldersFunction ""
!insertmacro RemoveEmptyFoldersFunction "un."

; The running copy of the program: its hidden window in $runningWindow (0 when none runs), its
; process id in $runningProcess, and its folder in full form in $runningFolder ("" when this
; user may not read it, as for another account's copy).
Var runningWindow
Var runningProcess
Var runningFolder
!macro FindRunningCopyFunction UN
Function ${UN}FindRunningCopy
    Push $0
    Push $1
    Push $2
    StrCpy $runningProcess 0
    StrCpy $runningFolder ""
    FindWindow $runningWindow "${APP}"
    ${If} $runningWindow != 0
        System::Call "user32::GetWindowThreadProcessId(p $runningWindow, *i .r0)"
        StrCpy $runningProcess $0
        System::Call "kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i r0) p .r1"
        ${If} $1 != 0
            System::Call "kernel32::QueryFullProcessImageNameW(p r1, i 0, w .r0, *i ${NSIS_MAX_STRLEN}) i .r2"
            System::Call "kernel32::CloseHandle(p r1)"
            ${If} $2 != 0
                ${GetParent} $0 $0
                !insertmacro CallFullFolder "${UN}" $0 $runningFolder
            ${EndIf}
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro FindRunningCopyFunction ""
!insertmacro FindRunningCopyFunction "un."

; Ends the running copy the way the program supports: WM_CLOSE to its hidden window, which
; removes the icon and exits. Waits up to 10 s for the process and never kills it. Sets
; $wasRunning; aborts (having touched nothing) if the user gives up or when silent.
Var wasRunning
!macro EndRunningCopyFunction UN
Function ${UN}EndRunningCopy
    Push $2
    Push $3
    Push $4
    Push $5
    StrCpy $wasRunning 0
    ${Do}
        Call ${UN}FindRunningCopy
        ${If} $runningWindow == 0
            ${Break}
        ${EndIf}
        StrCpy $wasRunning 1
        System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i $runningProcess) p .r2"
        System::Call "user32::PostMessageW(p $runningWindow, i ${WM_CLOSE}, p 0, p 0)"
        ; $3 becomes 0 once the copy has ended.
        ${If} $2 != 0
            System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r3"
            System::Call "kernel32::CloseHandle(p r2)"
        ${Else}
            ; A process this user may not open (another account's copy): its window going
            ; is the sign that it ended.
            StrCpy $3 1
            ${For} $4 1 100
                System::Call "user32::IsWindow(p $runningWindow) i .r5"
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
    Pop $5
    Pop $4
    Pop $3
    Pop $2
FunctionEnd
!macroend
!insertmacro EndRunningCopyFunction ""
!insertmacro EndRunningCopyFunction "un."

; Only one installer or uninstaller at a time.
!macro OneAtATime
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${APP}Setup") p .r0 ?e'
    Pop $0
    ${If} $0 == ${ERROR_ALREADY_EXISTS}
        MessageBox MB_ICONEXCLAMATION "The ${APP} installer is already running." /SD IDOK
        Abort
    ${EndIf}
!macroend
