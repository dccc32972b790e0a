; Zelmo's setup program: Zelmo.exe with its read-mes into the accounting program's folder (where
; Wydruk.prn appears), a Start-menu entry, start at login for this user or for every user, and an
; uninstaller under the Uninstall key; each folder (a company) has its own of each, so a second
; folder never takes the first one's over. Silent: /S [/LOGIN=none|user|all] [/NOSTART] [/D=FOLDER]
;   makensis -INPUTCHARSET UTF8 -DVERSION=X.Y.Z -DSTAGE=FOLDER -DOUTFILE=SETUP.EXE zelmo.nsi
;
; Zelmo keeps its settings, queue, journal and log beside Zelmo.exe, and a Run value of its own
; names the folder, so the program goes into the folder it monitors: one folder holds everything,
; a user who can print there can also write its files, and the menu's "start at login" item and
; the installer's choice are the same value.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
; Administrators install for the whole PC (Start menu, Uninstall key); any other user for
; himself, without a password prompt.
RequestExecutionLevel highest

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PUBLISHER "Zelmo maintainers"
!define UNINST_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
; Up to 3.1.0 one key (and one Zelmo.lnk) served whichever folder was installed last.
!define LEGACY_KEY "${UNINST_ROOT}\Zelmo"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALLER "Odinstaluj Zelmo.exe"

Name "Zelmo ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Zelmo ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1045 "ProductName" "Zelmo"
VIAddVersionKey /LANG=1045 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1045 "LegalCopyright" "Copyright 2026 the Zelmo maintainers"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu Zelmo"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_DIRECTORYPAGE_TEXT_TOP "$(FolderText)"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(FolderLabel)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ReadFolderState
!insertmacro MUI_PAGE_DIRECTORY
Page custom LoginPage LoginPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Zelmo.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\$(ReadmeFile)"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION ShowReadme
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(ReadmeText)"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UninstallText)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the default; an English Windows gets the second.
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "English"

LangString FolderText ${LANG_POLISH} "Wskaż folder programu Kalvister II, w którym pojawia się plik Wydruk.prn. Zelmo zostanie zainstalowany w tym folderze i będzie go monitorował; tam też zapisuje ustawienia (Zelmo.ini), kolejkę wydruków i dziennik."
LangString FolderText ${LANG_ENGLISH} "Choose the folder of Kalvister II in which the file Wydruk.prn appears. Zelmo is installed into that folder and monitors it; its settings (Zelmo.ini), print queue and log are kept there too."
LangString FolderLabel ${LANG_POLISH} "Folder programu Kalvister II"
LangString FolderLabel ${LANG_ENGLISH} "Kalvister II's folder"
LangString LoginTitle ${LANG_POLISH} "Uruchamianie przy logowaniu"
LangString LoginTitle ${LANG_ENGLISH} "Start at login"
LangString LoginSubtitle ${LANG_POLISH} "Kiedy Zelmo ma przyjmować wydruki?"
LangString LoginSubtitle ${LANG_ENGLISH} "When should Zelmo take the printouts?"
LangString LoginText ${LANG_POLISH} "Zelmo przyjmuje wydruki tylko wtedy, gdy działa. Uruchamiaj Zelmo:"
LangString LoginText ${LANG_ENGLISH} "Zelmo takes printouts only while it runs. Start Zelmo:"
LangString LoginUser ${LANG_POLISH} "przy moim logowaniu (użytkownik $0)"
LangString LoginUser ${LANG_ENGLISH} "when I log in (user $0)"
LangString LoginAll ${LANG_POLISH} "przy logowaniu każdego użytkownika tego komputera (wymaga uprawnień administratora)"
LangString LoginAll ${LANG_ENGLISH} "when any user of this PC logs in (needs administrator rights)"
LangString LoginNone ${LANG_POLISH} "tylko ręcznie, z menu Start"
LangString LoginNone ${LANG_ENGLISH} "only by hand, from the Start menu"
LangString UninstallText ${LANG_POLISH} "Zelmo zostanie zatrzymany i usunięty z tego folderu. Pliki kolejki (Zelmo*.Prn, Zelmo.queue) z oczekującymi wydrukami, pliki PDF w folderze Wydruki, archiwum, ustawienia (Zelmo.ini) i dziennik (Zelmo.log) pozostaną na dysku."
LangString UninstallText ${LANG_ENGLISH} "Zelmo is stopped and removed from this folder. The queue files (Zelmo*.Prn, Zelmo.queue) with the waiting printouts, the PDF files in the folder Wydruki, the archive, the settings (Zelmo.ini) and the log (Zelmo.log) stay on the disk."
LangString NotStopped ${LANG_POLISH} "Nie można zatrzymać programu Zelmo w folderze $INSTDIR. Zakończ go (menu w zasobniku: Zakończ) i kliknij Ponów."
LangString NotStopped ${LANG_ENGLISH} "Zelmo in the folder $INSTDIR cannot be stopped. End it (tray menu: Zakończ) and click Retry."
LangString DisplayName ${LANG_POLISH} "Zelmo - Monitor Wydruków"
LangString DisplayName ${LANG_ENGLISH} "Zelmo - print monitor"
LangString ReadmeText ${LANG_POLISH} "Pokaż instrukcję (CZYTAJ.txt)"
LangString ReadmeText ${LANG_ENGLISH} "Show the read-me (README.txt)"
LangString ReadmeFile ${LANG_POLISH} "CZYTAJ.txt"
LangString ReadmeFile ${LANG_ENGLISH} "README.txt"

Var IsAdmin       ; 1 when installing for the whole PC
Var LoginChoice   ; none, user or all
Var LoginOption   ; /LOGIN= as given, else empty
Var NoStart       ; 1 with /NOSTART
Var FolderKey     ; the folder's own name for its Uninstall key
Var UninstKey     ; that key
Var Shortcut      ; the folder's Start-menu entry, without .lnk
Var RadioUser
Var RadioAll
Var RadioNone

; Administrators work on the machine's Start menu and Uninstall key, others on their own.
!macro ChooseContext
    StrCpy $IsAdmin 0
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        StrCpy $IsAdmin 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
!macroend

; Stops the Zelmo that runs from $INSTDIR, as Windows does at log-off: it ends without a
; question and its journal keeps the waiting jobs for the next start. Monitors of other folders
; run on. It is started again by the finish page, or after a silent run (.onInstSuccess).
!macro StopZelmo un
Function ${un}StopZelmo
    StrCpy $R0 0
    ${Do}
        System::Call 'user32::FindWindowExW(p 0, p R0, w "TMainForm", p 0) p .R0'
        ${If} $R0 = 0
            ${Break}
        ${EndIf}
        System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1) i'
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
        System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R1) p .R2'
        ${If} $R2 != 0
            System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN}) i'
            ${If} $R3 == "$INSTDIR\Zelmo.exe"
                DetailPrint "Zelmo: $R3"
                SendMessage $R0 ${WM_ENDSESSION} 1 0 /TIMEOUT=20000
                System::Call 'kernel32::WaitForSingleObject(p R2, i 20000) i .R4'
                ${If} $R4 <> 0
                    System::Call 'kernel32::CloseHandle(p R2)'
                    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(NotStopped)" /SD IDCANCEL IDRETRY +2
                    Abort
                    StrCpy $R0 0
                    ${Continue}
                ${EndIf}
                ; The window is gone: look again from the top.
                StrCpy $R0 0
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p R2)'
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro StopZelmo ""
!insertmacro StopZelmo "un."

; Waits up to 20 s until Zelmo.exe can be written: a process that has just ended may hold its
; image a moment longer, and a file that cannot be replaced or deleted would be left behind.
!macro WaitForExe un
Function ${un}WaitForExe
    StrCpy $R5 0
    ${DoWhile} ${FileExists} "$INSTDIR\Zelmo.exe"
        ClearErrors
        FileOpen $R6 "$INSTDIR\Zelmo.exe" a
        ${IfNot} ${Errors}
            FileClose $R6
            ${Break}
        ${EndIf}
        IntOp $R5 $R5 + 1
        ${If} $R5 > 80
            ${Break}
        ${EndIf}
        Sleep 250
    ${Loop}
FunctionEnd
!macroend
!insertmacro WaitForExe ""
!insertmacro WaitForExe "un."

; The folder's key: a hash of its path in upper case, so that one folder has one key however its
; name is spelt, and the key holds any path (a key's name has no backslash and 255 characters
; at most). The Run value's name, which may hold both, is the path itself.
!macro FolderKeyOf un
Function ${un}FolderKeyOf
    StrCpy $0 $INSTDIR
    StrLen $1 $0
    System::Call 'user32::CharUpperBuffW(w r0 r0, i r1)'
    IntOp $1 $1 * 2
    System::Call 'shlwapi::HashData(w r0, i r1, *i 0 r2, i 4) i .r3'
    IntFmt $FolderKey "%08X" $2
    StrCpy $UninstKey "${UNINST_ROOT}\Zelmo-$FolderKey"
FunctionEnd
!macroend
!insertmacro FolderKeyOf ""
!insertmacro FolderKeyOf "un."

; The Run value Zelmo's own menu item writes: named after the folder, so each folder has its own.
!define RUN_VALUE "Zelmo $INSTDIR"

; The folder of an earlier installation, the silent options and, for a silent run, the folder's
; login choice.
Function .onInit
    !insertmacro ChooseContext
    ${If} $INSTDIR == ""
        ReadRegStr $INSTDIR SHCTX "${LEGACY_KEY}" "InstallLocation"
    ${EndIf}
    ${If} $INSTDIR == ""
        Call InstalledFolder
    ${EndIf}
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR "C:\Kalvister"
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/LOGIN=" $1
    ${IfNot} ${Errors}
    ${AndIf} $1 == "none"
    ${OrIf} $1 == "user"
    ${OrIf} $1 == "all"
        StrCpy $LoginOption $1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/NOSTART" $1
    ${IfNot} ${Errors}
        StrCpy $NoStart 1
    ${EndIf}
    Call ReadFolderState
FunctionEnd

; The folder of the first Zelmo installed in this context, else none: what the folder page
; offers, and where a silent upgrade without /D= goes.
Function InstalledFolder
    StrCpy $R0 0
    ${Do}
        EnumRegKey $R1 SHCTX "${UNINST_ROOT}" $R0
        ${IfThen} $R1 == "" ${|} ${Break} ${|}
        StrCpy $R2 $R1 6
        ${If} $R2 == "Zelmo-"
            ReadRegStr $INSTDIR SHCTX "${UNINST_ROOT}\$R1" "InstallLocation"
            ${IfThen} $INSTDIR != "" ${|} ${Break} ${|}
        ${EndIf}
        IntOp $R0 $R0 + 1
    ${Loop}
FunctionEnd

; What the folder has already: its key, and its login choice (an upgrade keeps the one it had,
; a first installation starts for this user), unless /LOGIN= says otherwise.
Function ReadFolderState
    Call FolderKeyOf
    StrCpy $LoginChoice "user"
    ReadRegStr $0 SHCTX "$UninstKey" "InstallLocation"
    ReadRegStr $1 SHCTX "${LEGACY_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${OrIf} $1 == $INSTDIR
        StrCpy $LoginChoice "none"
        ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
        ${IfThen} $0 != "" ${|} StrCpy $LoginChoice "user" ${|}
        ReadRegStr $0 HKCU "${RUN_KEY}" "Zelmo "
        ${IfThen} $0 == '"$INSTDIR\Zelmo.exe" --dir ""' ${|} StrCpy $LoginChoice "user" ${|}
        ReadRegStr $0 HKLM "${RUN_KEY}" "${RUN_VALUE}"
        ${IfThen} $0 != "" ${|} StrCpy $LoginChoice "all" ${|}
    ${EndIf}
    ${IfThen} $LoginOption != "" ${|} StrCpy $LoginChoice $LoginOption ${|}
    ${If} $LoginChoice == "all"
    ${AndIf} $IsAdmin != 1
        StrCpy $LoginChoice "user"
    ${EndIf}
FunctionEnd

; The folder's Start-menu entry: named after the folder, and after its key too when another
; folder of that name has the name already; an upgrade keeps the name it had.
Function ChooseShortcut
    ReadRegStr $Shortcut SHCTX "$UninstKey" "StartMenuShortcut"
    ${IfThen} $Shortcut != "" ${|} Return ${|}
    ${GetFileName} "$INSTDIR" $0
    StrCpy $1 $0 1 -1
    ${If} $0 == ""
    ${OrIf} $1 == ":"
        StrCpy $Shortcut "Zelmo ($FolderKey)"
        Return
    ${EndIf}
    StrCpy $Shortcut "Zelmo - $0"
    ${If} ${FileExists} "$SMPROGRAMS\$Shortcut.lnk"
        StrCpy $Shortcut "Zelmo - $0 ($FolderKey)"
    ${EndIf}
FunctionEnd

; The login question: this user, every user (administrators only) or none.
Function LoginPage
    !insertmacro MUI_HEADER_TEXT "$(LoginTitle)" "$(LoginSubtitle)"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 24u "$(LoginText)"
    Pop $0
    UserInfo::GetName
    Pop $0
    ${NSD_CreateRadioButton} 10u 30u 95% 12u "$(LoginUser)"
    Pop $RadioUser
    ${NSD_CreateRadioButton} 10u 46u 95% 20u "$(LoginAll)"
    Pop $RadioAll
    ${NSD_CreateRadioButton} 10u 70u 95% 12u "$(LoginNone)"
    Pop $RadioNone
    ${If} $IsAdmin != 1
        EnableWindow $RadioAll 0
    ${EndIf}
    ${If} $LoginChoice == "all"
        ${NSD_Check} $RadioAll
    ${ElseIf} $LoginChoice == "none"
        ${NSD_Check} $RadioNone
    ${Else}
        ${NSD_Check} $RadioUser
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function LoginPageLeave
    StrCpy $LoginChoice "user"
    ${NSD_GetState} $RadioAll $0
    ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $LoginChoice "all" ${|}
    ${NSD_GetState} $RadioNone $0
    ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $LoginChoice "none" ${|}
FunctionEnd

Section "Zelmo" SecMain
    SectionIn RO
    ; A running Zelmo.exe cannot be replaced; its journal keeps what waits.
    Call StopZelmo
    Call WaitForExe
    SetOutPath "$INSTDIR"
    ; Only the program and its texts: Zelmo.ini, the queue, the journal and the log stay.
    File "${STAGE}\Zelmo.exe"
    File "${STAGE}\CZYTAJ.txt"
    File "${STAGE}\README.txt"
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\LICENSE-mingw-w64.txt"
    File "${STAGE}\LICENSE-gcc-runtime.txt"
    File "${STAGE}\LICENSE-DejaVu-fonts.txt"
    File "${STAGE}\LICENSE-URW-fonts.txt"
    File "${STAGE}\LICENSE-FreeType.txt"
    SetOutPath "$INSTDIR\fonts"
    File "${STAGE}\fonts\*.otf"
    File "${STAGE}\fonts\*.ttf"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    Call FolderKeyOf
    ; The single entry of 3.1.0 is this folder's to take over only when it names this folder.
    ReadRegStr $0 SHCTX "${LEGACY_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        DeleteRegKey SHCTX "${LEGACY_KEY}"
        Delete "$SMPROGRAMS\Zelmo.lnk"
    ${EndIf}
    Call ChooseShortcut
    CreateShortcut "$SMPROGRAMS\$Shortcut.lnk" "$INSTDIR\Zelmo.exe" "" "$INSTDIR\Zelmo.exe" 0 \
        SW_SHOWNORMAL "" "$(DisplayName) ($INSTDIR)"

    WriteRegStr SHCTX "$UninstKey" "DisplayName" "$(DisplayName) ($INSTDIR)"
    WriteRegStr SHCTX "$UninstKey" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "$UninstKey" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "$UninstKey" "DisplayIcon" "$INSTDIR\Zelmo.exe,0"
    WriteRegStr SHCTX "$UninstKey" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "$UninstKey" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr SHCTX "$UninstKey" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegStr SHCTX "$UninstKey" "StartMenuShortcut" "$Shortcut"
    WriteRegDWORD SHCTX "$UninstKey" "NoModify" 1
    WriteRegDWORD SHCTX "$UninstKey" "NoRepair" 1
    SectionGetSize ${SecMain} $0
    WriteRegDWORD SHCTX "$UninstKey" "EstimatedSize" $0

    ; The same value and command as the menu item "Uruchamiaj przy logowaniu" writes; the one
    ; 3.1.0's menu item wrote, named after no folder, started Zelmo with --dir "" and failed.
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ReadRegStr $0 HKCU "${RUN_KEY}" "Zelmo "
    ${If} $0 == '"$INSTDIR\Zelmo.exe" --dir ""'
        DeleteRegValue HKCU "${RUN_KEY}" "Zelmo "
    ${EndIf}
    ${If} $IsAdmin == 1
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    ${If} $LoginChoice == "user"
        WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Zelmo.exe" --dir "$INSTDIR"'
    ${ElseIf} $LoginChoice == "all"
        WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Zelmo.exe" --dir "$INSTDIR"'
    ${EndIf}
SectionEnd

; The read-me in Notepad, which every Windows has and for which the file is written: the shell's
; "open" of a .txt may go to an association that is missing or opens nothing from the setup.
Function ShowReadme
    Exec '"$WINDIR\notepad.exe" "$INSTDIR\$(ReadmeFile)"'
FunctionEnd

; Silent, as a deployment tool runs it, Zelmo starts at once for the user who installs: else
; nothing would be taken until the next login. /NOSTART leaves that to the login (a tool that
; runs as SYSTEM, say). Interactively the finish page asks.
Function .onInstSuccess
    ${If} ${Silent}
    ${AndIf} $NoStart != 1
        Exec '"$INSTDIR\Zelmo.exe"'
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro ChooseContext
FunctionEnd

; Removes what the setup put in; the user's queue files, PDFs, archive, settings and log stay.
Section "Uninstall"
    Call un.StopZelmo
    Call un.WaitForExe
    Delete "$INSTDIR\Zelmo.exe"
    Delete "$INSTDIR\CZYTAJ.txt"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\LICENSE-mingw-w64.txt"
    Delete "$INSTDIR\LICENSE-gcc-runtime.txt"
    Delete "$INSTDIR\LICENSE-DejaVu-fonts.txt"
    Delete "$INSTDIR\LICENSE-URW-fonts.txt"
    Delete "$INSTDIR\LICENSE-FreeType.txt"
    Delete "$INSTDIR\fonts\*.otf"
    Delete "$INSTDIR\fonts\*.ttf"
    RMDir "$INSTDIR\fonts"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Only when nothing of the user's is left in it.
    RMDir "$INSTDIR"
    ; Only this folder's entries: another folder's Zelmo stays installed.
    Call un.FolderKeyOf
    ReadRegStr $Shortcut SHCTX "$UninstKey" "StartMenuShortcut"
    ${IfThen} $Shortcut != "" ${|} Delete "$SMPROGRAMS\$Shortcut.lnk" ${|}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKCU "$UninstKey"
    ${If} $IsAdmin == 1
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
        DeleteRegKey HKLM "$UninstKey"
    ${EndIf}
SectionEnd
