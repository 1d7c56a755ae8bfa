; The installer's checks of the folder it installs into, and the putting of the files there.

!define /ifndef CREATE_NEW 1
!define /ifndef FILE_FLAG_DELETE_ON_CLOSE 0x04000000
; The longest install folder: with it the longest file name written there (the uninstaller
; under its temporary name, 24 + 14 characters) stays within the path limit of 260.
!define MAX_FOLDER 200

; A random text of 32 hex digits, on the stack.
Function RandomName
    Push $0
    System::Call "ole32::CoCreateGuid(g .r0)"
    ; "{01234567-89AB-CDEF-0123-456789ABCDEF}" without its braces and dashes.
    StrCpy $0 "$0" 36 1
    ${WordReplace} $0 "-" "" "+" $0
    Exch $0
FunctionEnd

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

; Why $INSTDIR (in full form) cannot be installed into, on the stack ("" when it can). Another
; account may write outside the profile, and could then change the program the sign-in entry
; starts: the installer stays inside it, under the profile's own folder.
Function FolderRefusal
    Push $0
    Push $1
    Push $2
    ${FullFolder} $PROFILE $1
    StrLen $2 $1
    StrCpy $0 $INSTDIR $2
    StrCpy $2 $INSTDIR 1 $2
    ${If} $0 != $1
    ${OrIf} $2 != "\"
        StrCpy $0 "$INSTDIR is not inside your profile ($1). This installer puts ${APP} only \
            in a folder inside it; for any other place, unpack the portable zip there."
    ${Else}
        StrLen $0 $INSTDIR
        ${If} $0 > ${MAX_FOLDER}
            StrCpy $0 "$INSTDIR is longer than ${MAX_FOLDER} characters."
        ${Else}
            ; A file of that name, or above it, leaves no room for the folder.
            StrCpy $0 ""
            StrCpy $1 $INSTDIR
            ${DoUntil} ${FileExists} "$1\*.*"
                ${If} ${FileExists} $1
                    StrCpy $0 "$1 is a file, not a folder."
                    ${Break}
                ${EndIf}
                ${GetParent} $1 $1
            ${LoopUntil} $1 == ""
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Sets $writable to 1 when the folder can be written to, and $samePlace to 1 when the earlier
; install's folder is this one by another name (the test file shows there too: a junction or
; a short name may lead to one folder). The file's name is new to the world and it is made
; only if it is not there, so no file put there beforehand can answer for it. Leaves nothing
; of its own.
Function CheckWritable
    Push $0
    Push $1
    Push $2
    Call NewFoldersTop
    Pop $2
    CreateDirectory "$INSTDIR"
    Call RandomName
    Pop $1
    StrCpy $1 "$INSTDIR\${APP}-$1.write-test"
    System::Call "kernel32::CreateFileW(w r1, i ${GENERIC_WRITE}, i ${FILE_SHARE_READ}, p 0, \
        i ${CREATE_NEW}, i ${FILE_FLAG_DELETE_ON_CLOSE}, p 0) p .r0"
    StrCpy $writable 0
    StrCpy $samePlace 0
    ${If} $0 != -1
        StrCpy $writable 1
        ${GetFileName} $1 $1
        ${If} $previous != ""
        ${AndIf} ${FileExists} "$previous\$1"
            StrCpy $samePlace 1
        ${EndIf}
        System::Call "kernel32::CloseHandle(p r0)"
    ${EndIf}
    Push $INSTDIR
    Push $2
    Call RemoveEmptyFolders
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Refuses $INSTDIR (with MESSAGE, then ACTION) when it is no folder to install into.
!macro CheckInstallFolder MESSAGE ACTION
    Call FolderRefusal
    Pop $R0
    ${If} $R0 == ""
        Call CheckWritable
        ${IfThen} $writable == 0 ${|} StrCpy $R0 "$INSTDIR cannot be written to." ${|}
    ${EndIf}
    ${If} $R0 != ""
        MessageBox MB_ICONEXCLAMATION "$R0 ${MESSAGE}" /SD IDOK
        ${ACTION}
    ${EndIf}
!macroend

; Makes the folders $INSTDIR needs, and keeps in $createdTop the highest of them ("" when it
; made none). A failure stops the install (.onInstFailed removes the new folders).
Function MakeInstallFolder
    Call NewFoldersTop
    Pop $createdTop
    ClearErrors
    CreateDirectory "$INSTDIR"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP "$INSTDIR could not be made: nothing was installed." /SD IDOK
        Abort "$INSTDIR could not be made."
    ${EndIf}
    SetOutPath "$INSTDIR"
    ; Long names, now that they exist.
    ${FullFolder} $INSTDIR $INSTDIR
    ${If} $createdTop != ""
        ${FullFolder} $createdTop $createdTop
    ${EndIf}
FunctionEnd

; Each installed file is first written beside its place under this run's name ($token); only
; when all are written do they take their places, each earlier file moved aside first. A file
; that cannot be written or moved (another program holding it) puts every file back.
Var token
; The first file that could not be put in place; "" while all went.
Var failedFile
; 1 once every new file was written under its temporary name.
Var staged

!macro StageInstalledFile NAME
    ${If} $failedFile == ""
        ClearErrors
        !if "${NAME}" == "${UNINSTALLER}"
            WriteUninstaller "$INSTDIR\${NAME}.$token"
        !else
            File "/oname=$INSTDIR\${NAME}.$token" "${BINDIR}/${NAME}"
        !endif
        ${IfThen} ${Errors} ${|} StrCpy $failedFile "${NAME}" ${|}
    ${EndIf}
!macroend

; A running program or a loaded library can be moved aside but not written or deleted: it
; would stay behind under its earlier name and run on. Such a file counts as held.
Var heldProbe
!macro SwapInstalledFile NAME
    ${If} $failedFile == ""
        ClearErrors
        ${If} ${FileExists} "$INSTDIR\${NAME}"
            FileOpen $heldProbe "$INSTDIR\${NAME}" a
            ; Testing the error flag clears it.
            ${If} ${Errors}
                StrCpy $failedFile "${NAME}"
            ${Else}
                FileClose $heldProbe
                Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.$token.old"
                ${IfThen} ${Errors} ${|} StrCpy $failedFile "${NAME}" ${|}
            ${EndIf}
        ${EndIf}
        ${If} $failedFile == ""
            Rename "$INSTDIR\${NAME}.$token" "$INSTDIR\${NAME}"
            ${IfThen} ${Errors} ${|} StrCpy $failedFile "${NAME}" ${|}
        ${EndIf}
    ${EndIf}
!macroend

; Once all were written, a new file gone from its temporary name is in place: it goes, and
; the earlier one (if any) comes back.
!macro RestoreInstalledFile NAME
    ${If} $staged == 1
    ${AndIfNot} ${FileExists} "$INSTDIR\${NAME}.$token"
        Delete "$INSTDIR\${NAME}"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${NAME}.$token.old"
        Rename "$INSTDIR\${NAME}.$token.old" "$INSTDIR\${NAME}"
    ${EndIf}
    Delete "$INSTDIR\${NAME}.$token"
!macroend

!macro DeleteEarlierCopy NAME
    Delete "$INSTDIR\${NAME}.$token.old"
!macroend

Function PutInstalledFiles
    Call RandomName
    Pop $token
    StrCpy $token $token 8
    StrCpy $failedFile ""
    StrCpy $staged 0
    !insertmacro ForEachInstalledFile StageInstalledFile
    ${IfThen} $failedFile == "" ${|} StrCpy $staged 1 ${|}
    !insertmacro ForEachInstalledFile SwapInstalledFile
    ${If} $failedFile == ""
        !insertmacro ForEachInstalledFile DeleteEarlierCopy
        StrCpy $token ""
        Return
    ${EndIf}
    !insertmacro ForEachInstalledFile RestoreInstalledFile
    StrCpy $token ""
    ; The earlier install is as it was: so is its running copy.
    ${If} $wasRunning == 1
    ${AndIf} ${FileExists} "$INSTDIR\${PROGRAM}"
        Exec '"$INSTDIR\${PROGRAM}"'
    ${EndIf}
    MessageBox MB_ICONSTOP "$INSTDIR\$failedFile could not be written: another program may be \
        using it. Nothing was changed; close that program, then run the installer again." /SD IDOK
    Abort "$INSTDIR\$failedFile could not be written."
FunctionEnd

Function .onInstFailed
    ; A file left under this run's name, by a write that stopped with the user's Abort.
    ${If} $token != ""
        !insertmacro ForEachInstalledFile RestoreInstalledFile
    ${EndIf}
    Push $INSTDIR
    Push $createdTop
    Call RemoveEmptyFolders
FunctionEnd
