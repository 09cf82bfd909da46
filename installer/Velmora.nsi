; Setup program, silent upgrader and uninstaller of the Velmora client.
;
; Built by CMake (target velmora_setup), which passes:
;   CLIENT_EXE   the built Velmora.exe        HELPER_EXE  the built SetupHelper.exe
;   VERSION      a.b.c.d                      ICON        the client's icon
;   OUTFILE      the setup program to write   REFER, UID  the channel written by default
;   SIGN_COMMAND (optional) signs a file given as its last argument, in place
;
; Command line of the setup program:
;   /S            silent (no pages, no questions)
;   /ZKUPGRADE    with /S: upgrade in place of a running client (how the client starts it)
;   /REFER=text   /UID=text   the channel; letters, digits, "_", "-" and "." only, at most 64
;                 characters. An empty value writes an empty key; any other value is ignored.
;   /D=folder     the installation folder (last on the line)
; Command line of the uninstaller: /S silent; /REMOVEDATA also removes the user's data folder.

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
AllowSkipFiles off

!macro REQUIRE NAME
    !ifndef ${NAME}
        !error "${NAME} must be defined"
    !endif
!macroend
!insertmacro REQUIRE CLIENT_EXE
!insertmacro REQUIRE HELPER_EXE
!insertmacro REQUIRE VERSION
!insertmacro REQUIRE ICON
!insertmacro REQUIRE OUTFILE
!ifndef REFER
    !define REFER ""
!endif
!ifndef UID
    !define UID ""
!endif
!ifdef SIGN_COMMAND
    !finalize '${SIGN_COMMAND} "%1"' = 0
    !uninstfinalize '${SIGN_COMMAND} "%1"' = 0
!endif

!define PRODUCT "Velmora"
!define PUBLISHER "Velmora"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DATA_PARENT "$APPDATA\tarsel"
!define DATA_DIR "$APPDATA\tarsel\pelun"
!define CLIENT "Velmora.exe"
!define UNINSTALLER "uninst.exe"
; Bounded waits (milliseconds): a client that started us ends itself soon after; a beacon run
; ends when its request has finished.
!define UPGRADE_WAIT 30000
!define CLOSE_WAIT 3000
!define BEACON_WAIT 20000

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES32\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "立即启动 ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartClient
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

Var Upgrade      ; 1: silent upgrade started by the client
Var InstallType  ; 1: fresh install, 2: replaces an installed client
Var Installed    ; 1: a client was installed before
Var Refer
Var Uid
Var WriteRefer   ; 1: write "Refer" (an upgrade keeps the user's channel unless one is given)
Var WriteUid

; $R9 := "1" when $R8 is a usable channel value (possibly empty), else "0".
!macro CHANNEL_CHECK UN
Function ${UN}ChannelValid
    StrLen $R7 $R8
    ${If} $R7 > 64
        StrCpy $R9 "0"
        Return
    ${EndIf}
    ${StrFilter} $R8 "12" "_-." "" $R6
    ${If} $R6 S== $R8
        StrCpy $R9 "1"
    ${Else}
        StrCpy $R9 "0"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro CHANNEL_CHECK ""

; Ends the processes of the installed client, waiting $R8 milliseconds first. $R9 := exit code.
!macro END_CLIENT UN
Function ${UN}EndClient
    ExecWait '"$PLUGINSDIR\SetupHelper.exe" end "$INSTDIR\${CLIENT}" $R8' $R9
FunctionEnd
!macroend
!insertmacro END_CLIENT ""
!insertmacro END_CLIENT "un."

Function .onInit
    StrCpy $Upgrade 0
    StrCpy $InstallType 1
    StrCpy $Installed 0
    StrCpy $Refer "${REFER}"
    StrCpy $Uid "${UID}"
    StrCpy $WriteRefer 1
    StrCpy $WriteUid 1

    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ZKUPGRADE" $R1
    ${IfNot} ${Errors}
    ${AndIf} ${Silent}
        StrCpy $Upgrade 1
        StrCpy $WriteRefer 0
        StrCpy $WriteUid 0
    ${EndIf}

    ClearErrors
    ${GetOptions} $R0 "/REFER=" $R8
    ${IfNot} ${Errors}
        Call ChannelValid
        ${If} $R9 == "1"
            StrCpy $Refer $R8
            StrCpy $WriteRefer 1
        ${EndIf}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/UID=" $R8
    ${IfNot} ${Errors}
        Call ChannelValid
        ${If} $R9 == "1"
            StrCpy $Uid $R8
            StrCpy $WriteUid 1
        ${EndIf}
    ${EndIf}

    ; A client installed before (this folder is where InstallDirRegKey points) is replaced.
    ReadRegStr $R1 HKLM "${UNINST_KEY}" "InstallLocation"
    ${If} $R1 != ""
    ${AndIf} ${FileExists} "$R1\${CLIENT}"
        StrCpy $InstallType 2
        StrCpy $Installed 1
    ${EndIf}
    ${If} $Upgrade == 1
        StrCpy $InstallType 2
    ${EndIf}
FunctionEnd

Section "-Client"
    SetShellVarContext all
    InitPluginsDir
    File "/oname=$PLUGINSDIR\SetupHelper.exe" "${HELPER_EXE}"

    ; Files in use cannot be replaced: the running client goes first.
    ${If} $Upgrade == 1
        StrCpy $R8 ${UPGRADE_WAIT}
    ${Else}
        StrCpy $R8 ${CLOSE_WAIT}
    ${EndIf}
    Call EndClient
    ${If} $R9 != 0
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 正在运行且无法关闭，请退出游戏后重新安装。" /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    ; The new client is written beside the old one and only then takes its place, so a failed
    ; write leaves the installed client as it was.
    SetOutPath "$INSTDIR"
    ClearErrors
    File "/oname=$INSTDIR\${CLIENT}.new" "${CLIENT_EXE}"
    ${If} ${Errors}
        Delete "$INSTDIR\${CLIENT}.new"
        MessageBox MB_OK|MB_ICONSTOP "无法写入 $INSTDIR，安装未完成。" /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    ClearErrors
    Delete "$INSTDIR\${CLIENT}"
    Rename "$INSTDIR\${CLIENT}.new" "$INSTDIR\${CLIENT}"
    ${If} ${Errors}
        Delete "$INSTDIR\${CLIENT}.new"
        MessageBox MB_OK|MB_ICONSTOP "无法替换 $INSTDIR\${CLIENT}，安装未完成。" /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; An upgrade of an installed client keeps the desktop as the player left it.
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${CLIENT}" "" "$INSTDIR\${CLIENT}" 0
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk" "$INSTDIR\${UNINSTALLER}"
    ${If} $Upgrade == 0
    ${OrIf} $Installed == 0
        CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${CLIENT}" "" "$INSTDIR\${CLIENT}" 0
    ${EndIf}

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${CLIENT},0"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $R0

    ; The player's own settings file: only the keys the installer owns.
    SetShellVarContext current
    CreateDirectory "${DATA_DIR}"
    WriteINIStr "${DATA_DIR}\Entrel.ini" "Install" "InstallType" $InstallType
    ${If} $WriteRefer == 1
        WriteINIStr "${DATA_DIR}\Entrel.ini" "Common" "Refer" $Refer
    ${EndIf}
    ${If} $WriteUid == 1
        WriteINIStr "${DATA_DIR}\Entrel.ini" "Common" "UID" $Uid
    ${EndIf}
    SetShellVarContext all

    ; The install beacon run ends when its request has finished; waiting for it keeps its
    ; first writes of Entrel.ini apart from those of a client started right after.
    ExecWait '"$PLUGINSDIR\SetupHelper.exe" run ${BEACON_WAIT} "$INSTDIR\${CLIENT}" /setupsucc'
    ${If} $Upgrade == 1
        Call StartClient
    ${EndIf}
SectionEnd

Function StartClient
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\${CLIENT}"'
FunctionEnd

; --- uninstaller ----------------------------------------------------------------------------

Section "-un.Client"
    SetShellVarContext all
    InitPluginsDir
    File "/oname=$PLUGINSDIR\SetupHelper.exe" "${HELPER_EXE}"
    StrCpy $R8 ${CLOSE_WAIT}
    Call un.EndClient
    ${If} $R9 != 0
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 正在运行且无法关闭，请退出游戏后重新卸载。" /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    ; The uninstall beacon goes out while the client is still there to send it.
    ${If} ${FileExists} "$INSTDIR\${CLIENT}"
        ExecWait '"$PLUGINSDIR\SetupHelper.exe" run ${BEACON_WAIT} "$INSTDIR\${CLIENT}" /uninstallsucc'
    ${EndIf}

    Delete "$INSTDIR\${CLIENT}"
    Delete "$INSTDIR\${CLIENT}.new"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    Delete "$DESKTOP\${PRODUCT}.lnk"

    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

Section /o "un.删除游戏设置和个人数据" SecData
    SetShellVarContext current
    RMDir /r "${DATA_DIR}"
    RMDir "${DATA_PARENT}"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecData} "同时删除 ${PRODUCT} 保存在本机的设置和数据。"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/REMOVEDATA" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecData}
    ${EndIf}
FunctionEnd
