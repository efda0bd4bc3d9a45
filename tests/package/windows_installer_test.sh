#!/usr/bin/env bash
# The Windows installer under Wine, in both of its modes. For all users (as the administrator,
# into Program Files; a folder elsewhere is refused), built as a vendor builds it with its
# program, that program's release signature and an Authenticode certificate: every program of
# ours and the installer are signed, the control is registered for the machine and works; its
# uninstaller, started by the folder's short name, is the one for all users all the same, and
# removes what a killed update left there too. For the current user (a
# standard Unix user with a Western prefix of its own), as the build makes it: it goes into that
# user's %LOCALAPPDATA%\Programs and registers below HKEY_CURRENT_USER. Both put the updater
# (and the vendor's program) in that Start menu. Each uninstall leaves neither a file, nor a
# key, nor an entry of the Start menu behind. Each ZIP holds the same files as its installer.
#   usage: windows_installer_test.sh BUILD_DIR SOURCE_DIR UPDATER CONTROL VENDOR_PROGRAM STRIP MAKENSIS
set -uo pipefail
build=$1 source_dir=$2 updater=$3 control=$4 vendor_program=$5 strip=$6 makensis=$7
standard_user=$source_dir/tests/support/standard-user
work=$(mktemp -d)
folder='C:\Program Files\Velkora Lirvane'
installed="$WINEPREFIX/drive_c/Program Files/Velkora Lirvane"
elsewhere="VelkoraTest$$"
trap 'rm -rf "$work" "$installed" "$WINEPREFIX/drive_c/$elsewhere"; "$standard_user" wineserver -k >/dev/null 2>&1' EXIT
failed=0
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
programs=(tavorix.ocx updatelirvane.exe)
vendor_files=(VelkoraLirvane.exe VelkoraLirvane.exe.minisig)
entry='Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkora Lirvane'
menu='Velkora Lirvane'
updater_entry='Velkora Lirvane Güncelleme.lnk'
# Start menu entries make no menus of the Unix desktop here.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"

# zip_holds ZIP FILE...: the ZIP holds exactly these files.
zip_holds() {
    local zip=$1
    shift
    python3 -m zipfile -l "$zip" | awk 'NR > 1 { print $1 }' | sort >"$work/zip.txt"
    printf '%s\n' "$@" | sort | cmp -s - "$work/zip.txt" || fail "$zip holds $(tr '\n' ' ' <"$work/zip.txt")"
}

cmake --build "$build" --target windows-installer >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
installer=$(ls "$build"/velkora-lirvane-*-win64.exe)
zip_holds "$(ls "$build"/velkora-lirvane-*-win64.zip)" "${programs[@]}"

# The vendor's package: its program, that program's release signature, its certificate.
"$source_dir/tests/support/make-test-certificates" "$work/certificates"
mkdir -p "$work/vendor"
echo "the release's signature" >"$work/release.minisig"
cmake -DOUTPUT_DIR="$work/vendor" -DVERSION=1.0.0 -DUPDATER="$updater" -DCONTROL="$control" -DSTRIP="$strip" \
    -DMAKENSIS="$makensis" -DVENDOR_PROGRAM="$vendor_program" -DRELEASE_SIGNATURE="$work/release.minisig" \
    -DAUTHENTICODE_PKCS12="$work/certificates/code-signing.p12" \
    -DAUTHENTICODE_PASSWORD_FILE="$work/certificates/code-signing.password" -DOSSLSIGNCODE="$(command -v osslsigncode)" \
    -P "$source_dir/cmake/BuildWindowsPackage.cmake" >"$work/vendor.log" 2>&1 || { cat "$work/vendor.log"; exit 1; }
vendor_installer=$(ls "$work"/vendor/velkora-lirvane-*-win64.exe)
zip_holds "$(ls "$work"/vendor/velkora-lirvane-*-win64.zip)" "${programs[@]}" "${vendor_files[@]}"
# signed FILE: FILE carries an Authenticode signature of the vendor's certificate.
signed() {
    osslsigncode verify -CAfile "$work/certificates/authority.pem" -in "$1" >"$work/verify.log" 2>&1 ||
        fail "$(basename "$1") is not signed by the vendor: $(tail -n 3 "$work/verify.log")"
}
signed "$vendor_installer"

# exported REG_KEY FILE [USER]: the tree of a key, as the administrator or as the standard user.
exported() {
    local run=(wine)
    [[ -n "${3:-}" ]] && run=("$standard_user" wine)
    "${run[@]}" reg export "$1" "$2" /y >/dev/null 2>&1 || : >"$2"
}
# Only the uninstaller and FILE... are left in FOLDER (a Unix path) once it ran in place (_?=).
only_uninstaller_left() {
    local left
    left=$(ls "$1" 2>/dev/null | tr '\n' ' ')
    [[ "$left" == "$(printf '%s ' "${@:2}" Uninstall.exe | tr ' ' '\n' | sort | tr '\n' ' ')" ]] ||
        fail "files left behind in $1: $left"
}
# The uninstall entry of KEY_ROOT names the version, publisher, size and numbers Windows reads.
entry_is_whole() {
    local values
    values=$("${@:2}" reg query "$1\\$entry" 2>/dev/null | tr -d '\r')
    for value in "DisplayVersion    REG_SZ    1.0.0" "Publisher    REG_SZ    Velkora" "EstimatedSize    REG_DWORD" \
                 "NoModify    REG_DWORD    0x1" "NoRepair    REG_DWORD    0x1" "DisplayIcon    REG_SZ    .*updatelirvane.exe,0"; do
        grep -q "$value" <<<"$values" || fail "the uninstall entry below $1 lacks $value"
    done
}

# For all users, as the administrator, from the vendor's package: into a folder any user could
# change, refused, and into Program Files.
exported 'HKEY_CLASSES_ROOT' "$work/before.reg"
wine "$vendor_installer" /S /AllUsers "/D=C:\\$elsewhere"
status=$?
((status == 87)) || fail "an install for all users outside Program Files was not refused ($status)"
[[ ! -e "$WINEPREFIX/drive_c/$elsewhere" ]] || fail "the refused install left $(ls "$WINEPREFIX/drive_c/$elsewhere")"
wine "$vendor_installer" /S /AllUsers || fail "the installer for all users failed"
for program in "${programs[@]}" "${vendor_files[@]}" Uninstall.exe; do
    [[ -f "$installed/$program" ]] || fail "$program was not installed for all users"
done
[[ $(ls "$installed" | wc -l) == 5 ]] || fail "more than the package's files were installed: $(ls "$installed")"
cmp -s "$installed/VelkoraLirvane.exe" "$vendor_program" || fail "the vendor's program was not installed as it was built"
for program in "${programs[@]}" Uninstall.exe; do
    signed "$installed/$program"
done
machine_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$menu"
for shortcut in "$updater_entry" "Velkora Lirvane.lnk"; do
    [[ -f "$machine_menu/$shortcut" ]] || fail "no $shortcut in the Start menu of all users"
done
server=$(wine reg query 'HKCR\CLSID\{8C4F2D19-6A3B-4E7C-9D21-0B5F7A3C8E42}\InprocServer32' /ve 2>/dev/null | tr -d '\r')
[[ "$server" == *"REG_SZ    $folder\\tavorix.ocx" ]] || fail "the control is not registered from $folder: $server"
printf 'WScript.Echo "Style " & CreateObject("Tavorix.UserControl1").Style\n' >"$work/style.vbs"
[[ "$(wine cscript //nologo "$(winepath -w "$work/style.vbs")" 2>/dev/null | tr -d '\r')" == "Style 0" ]] ||
    fail "the installed control cannot be created by its program id"
entry_is_whole HKLM wine
# What an updater killed mid-way or cut leaves beside the program, and a file of the user's own.
for name in VelkoraLirvane.exe.new-1234 VelkoraLirvane.exe.minisig.new-77 VelkoraLirvane_down.exe.new-9 \
            VelkoraLirvane_down.exe VelkoraLirvane_down.exe.resume VelkoraLirvane_down.exe.resume.new-5 \
            VelkoraLirvane.exe.new-x; do
    echo "half a copy" > "$installed/$name"
done
short=$(winepath -s "$folder")
[[ "$short" != "$folder" ]] || fail "no short name for $folder"
wine "$short\\Uninstall.exe" /S "_?=$short" || fail "the uninstaller for all users failed"
only_uninstaller_left "$installed" VelkoraLirvane.exe.new-x
[[ ! -e "$machine_menu" ]] || fail "Start menu entries left behind: $(ls "$machine_menu")"
exported 'HKEY_CLASSES_ROOT' "$work/after.reg"
cmp -s "$work/before.reg" "$work/after.reg" || fail "keys left behind in HKEY_CLASSES_ROOT"
wine reg query "HKLM\\$entry" >/dev/null 2>&1 && fail "the uninstall entry for all users is left behind"

# For the current user, as a standard user: the default mode, with no folder named.
"$standard_user" wine cmd /c exit >/dev/null 2>&1
status=$?
if ((status == 77)); then
    echo "no standard user can be made here: the install for the current user is not tried"
else
    cp "$installer" "$work/setup.exe" && chmod 755 "$work" "$work/setup.exe"
    for tree in HKEY_CLASSES_ROOT 'HKEY_CURRENT_USER\Software\Classes'; do
        exported "$tree" "$work/user-before-${tree##*\\}.reg" user
    done
    "$standard_user" wine "$work/setup.exe" /S /CurrentUser || fail "the installer for the current user failed"
    local_folder="$("$standard_user" wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')\Programs\Velkora Lirvane"
    unix_folder=$("$standard_user" winepath -u "$local_folder" 2>/dev/null)
    for program in "${programs[@]}" Uninstall.exe; do
        [[ -f "$unix_folder/$program" ]] || fail "$program was not installed in $local_folder"
    done
    "$standard_user" wine reg query 'HKCU\Software\Classes\Tavorix.UserControl1\CLSID' >/dev/null 2>&1 ||
        fail "the control is not registered for the user"
    user_menu=$("$standard_user" winepath -u "$("$standard_user" wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")
    user_menu="$user_menu/Microsoft/Windows/Start Menu/Programs/$menu"
    [[ -f "$user_menu/$updater_entry" ]] || fail "no $updater_entry in the user's Start menu"
    entry_is_whole HKCU "$standard_user" wine
    # A path with spaces cannot be given in place (_?= takes no quotes): the uninstaller runs from
    # a copy of itself, and its user's Wine server says when all of that user's programs ended.
    "$standard_user" wine "$local_folder\\Uninstall.exe" /S || fail "the uninstaller for the user failed"
    "$standard_user" wineserver -w
    [[ ! -e "$unix_folder" ]] || fail "files left behind in $unix_folder: $(ls "$unix_folder")"
    [[ ! -e "$user_menu" ]] || fail "Start menu entries left behind: $(ls "$user_menu")"
    for tree in HKEY_CLASSES_ROOT 'HKEY_CURRENT_USER\Software\Classes'; do
        exported "$tree" "$work/user-after-${tree##*\\}.reg" user
        cmp -s "$work/user-before-${tree##*\\}.reg" "$work/user-after-${tree##*\\}.reg" || fail "keys left behind in $tree"
    done
    "$standard_user" wine reg query "HKCU\\$entry" >/dev/null 2>&1 && fail "the uninstall entry for the user is left behind"
fi

[[ $failed -eq 0 ]] && echo "installed, registered, uninstalled"
exit $((failed > 0))
