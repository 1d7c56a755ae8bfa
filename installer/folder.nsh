; The installer's checks and making of the folder it installs into.

; Token and security-information classes (winnt.h, accctrl.h).
!define /ifndef TokenUser 1
!define /ifndef SE_FILE_OBJECT 1
!define /ifndef OWNER_SECURITY_INFORMATION 1

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
    System::Call "advapi32::OpenProcessToken(p r1, i ${TOKEN_QUERY}, *p .r1) i .r2"
    ${If} $2 != 0
        System::Alloc 256
        Pop $3
        System::Call "advapi32::GetTokenInformation(p r1, i ${TokenUser}, p r3, i 256, *i .r4) i .r2"
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
    ${FullFolder} $PROFILE $1
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
    System::Call "advapi32::GetNamedSecurityInfoW(w r5, i ${SE_FILE_OBJECT}, i ${OWNER_SECURITY_INFORMATION}, *p .r1, p 0, p 0, p 0, *p .r2) i .r3"
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
    ${FullFolder} $INSTDIR $INSTDIR
FunctionEnd

Function .onInstFailed
    Push $createdTop
    Call RemoveNewFolders
FunctionEnd
