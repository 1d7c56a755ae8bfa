; The uninstaller: its code is the functions named "un." and the section "Uninstall".
!include Win\COM.nsh

!define /ifndef COINIT_APARTMENTTHREADED 2

; Each folder in full form, so that two spellings of one folder compare equal: this
; uninstaller's, and those the shortcut, the sign-in entry and the Apps entry point at.
Var thisFolder
Var shortcutFolder
Var signInFolder
Var appsEntryFolder

Function un.onInit
    !insertmacro OneAtATime
FunctionEnd

; The folder of the program the Start-menu shortcut starts, in $0 ("" without one).
Function un.ShortcutFolder
    StrCpy $0 ""
    System::Call "ole32::CoInitializeEx(p 0, i ${COINIT_APARTMENTTHREADED}) i .r4"
    !insertmacro ComHlpr_CreateInProcInstance ${CLSID_ShellLink} ${IID_IShellLinkW} r1 .r2
    ${If} $2 == 0
        ; The shortcut is loaded through the link's IPersistFile.
        ${IUnknown::QueryInterface} $1 '("${IID_IPersistFile}",.r3).r2'
        ${If} $2 == 0
            ${IPersistFile::Load} $3 '("$SMPROGRAMS\${APP}.lnk",${STGM_READ}).r2'
            ${If} $2 == 0
                ${IShellLink::GetPath} $1 '(.r5,${NSIS_MAX_STRLEN},0,0).r2'
                ${If} $2 == 0
                    ${GetParent} $5 $0
                ${EndIf}
            ${EndIf}
            ${IUnknown::Release} $3 ""
        ${EndIf}
        ${IUnknown::Release} $1 ""
    ${EndIf}
    ${If} $4 >= 0
        System::Call "ole32::CoUninitialize()"
    ${EndIf}
FunctionEnd

; The folder of the program the sign-in entry starts, in $0 ("" without one).
Function un.SignInFolder
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 -1 1
    ${EndIf}
    ${GetParent} $0 $0
FunctionEnd

!macro DeleteInstalledFile NAME
    Delete "$INSTDIR\${NAME}"
!macroend

Section "Uninstall"
    ; A stale copy of the uninstaller elsewhere leaves the live install's entries alone:
    ; each goes only when it points at this folder. Compared while the folders exist.
    ${un.FullFolder} $INSTDIR $thisFolder
    Call un.ShortcutFolder
    ${un.FullFolder} $0 $shortcutFolder
    Call un.SignInFolder
    ${un.FullFolder} $0 $signInFolder
    ReadRegStr $0 HKCU "${APPS_KEY}" InstallLocation
    ${un.FullFolder} $0 $appsEntryFolder
    ; A copy running from another folder is not this uninstaller's to end; one whose folder
    ; cannot be read may be this folder's.
    Call un.FindRunningCopy
    ${If} $runningFolder == ""
    ${OrIf} $runningFolder == $thisFolder
        Call un.EndRunningCopy
    ${EndIf}
    !insertmacro ForEachInstalledFile DeleteInstalledFile
    ; Only if empty: a user's own files stay, and so does their folder.
    RMDir "$INSTDIR"
    ${If} $shortcutFolder == $thisFolder
        Delete "$SMPROGRAMS\${APP}.lnk"
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
