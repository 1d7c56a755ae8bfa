; The uninstaller: its code is the functions named "un." and the section "Uninstall".

; Each folder in full form, so that two spellings of one folder compare equal: this
; uninstaller's, and those the sign-in entry and the Apps entry point at.
Var thisFolder
Var signInFolder
Var appsEntryFolder
; 1 when the uninstaller runs from the install folder itself (_?= given): it cannot delete
; its own file, which is left to whoever started it.
Var inPlace

Function un.onInit
    !insertmacro OneAtATime
FunctionEnd

; The folder of the program the sign-in entry starts, on the stack ("" without one).
Function un.SignInFolder
    Push $0
    Push $1
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 -1 1
    ${EndIf}
    ${GetParent} $0 $0
    Pop $1
    Exch $0
FunctionEnd

; Deletes one installed file; once one stays, the later ones are kept too: the uninstaller
; and the Apps entry remain, so the uninstall can be run again.
!macro DeleteInstalledFile NAME
    ${If} $failedFile == ""
    !if "${NAME}" == "${UNINSTALLER}"
    ${AndIf} $inPlace == 0
    !endif
        Delete "$INSTDIR\${NAME}"
        ${IfThen} ${FileExists} "$INSTDIR\${NAME}" ${|} StrCpy $failedFile "${NAME}" ${|}
    ${EndIf}
!macroend

Section "Uninstall"
    ; A stale copy of the uninstaller elsewhere leaves the live install's entries alone:
    ; each goes only when it points at this folder. Compared while the folders exist.
    ${un.FullFolder} $INSTDIR $thisFolder
    Call un.SignInFolder
    Pop $0
    ${un.FullFolder} $0 $signInFolder
    ReadRegStr $0 HKCU "${APPS_KEY}" InstallLocation
    ${un.FullFolder} $0 $appsEntryFolder
    ${un.FullFolder} $EXEDIR $0
    StrCpy $inPlace 0
    ${IfThen} $0 == $thisFolder ${|} StrCpy $inPlace 1 ${|}
    ; A copy running from another folder is not this uninstaller's to end; one whose folder
    ; cannot be read may be this folder's.
    Call un.FindRunningCopy
    ${If} $runningFolder == ""
    ${OrIf} $runningFolder == $thisFolder
        Call un.EndRunningCopy
    ${EndIf}
    ; A copy out of sight (another session) still holds the program: then everything stays,
    ; the Apps entry too, so that the user can try again.
    StrCpy $failedFile ""
    !insertmacro ForEachInstalledFile DeleteInstalledFile
    ${If} $failedFile != ""
        MessageBox MB_ICONSTOP "$INSTDIR\$failedFile could not be deleted: ${APP} may still be \
            running, for example in another session of yours. Close it there, then uninstall \
            again." /SD IDOK
        Abort "$INSTDIR\$failedFile could not be deleted."
    ${EndIf}
    ${If} $appsEntryFolder == $thisFolder
        ; Only the shortcut the install made, and only if it still has our name.
        ReadRegStr $0 HKCU "${APPS_KEY}" ${SHORTCUT_VALUE}
        ${GetFileName} $0 $1
        ${If} $1 == "${APP}.lnk"
            Delete $0
        ${EndIf}
        ReadRegStr $1 HKCU "${APPS_KEY}" ${CREATED_VALUE}
    ${EndIf}
    ; Only if empty: a user's own files stay, and so does their folder.
    RMDir "$INSTDIR"
    ${If} $appsEntryFolder == $thisFolder
        Push $thisFolder
        Push $1
        Call un.RemoveEmptyFolders
    ${EndIf}
    ${If} $signInFolder == $thisFolder
        DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
    ${EndIf}
    ; Task Manager's flag goes with the entry it was about.
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    ${If} $0 == ""
        DeleteRegValue HKCU "${APPROVED_KEY}" "${APP}"
    ${EndIf}
    ${If} $appsEntryFolder == $thisFolder
        DeleteRegKey HKCU "${APPS_KEY}"
    ${EndIf}
SectionEnd
