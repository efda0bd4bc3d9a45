#!/usr/bin/env bash
# The Windows installer under Wine: a silent install into a folder of the user's choice leaves
# the programs there and the control registered and working; a silent uninstall leaves neither
# a file nor a key behind. The ZIP holds the same programs.
#   usage: windows_installer_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
folder_name="VelkoraTest$$"
folder="C:\\$folder_name"
trap 'rm -rf "$work" "$WINEPREFIX/drive_c/$folder_name"' EXIT
failed=0
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
programs=(inetfile.exe tavorix-container.exe tavorix.ocx updatelirvane.exe)

(cd "$build" && cpack -B "$work/package" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
installer=$(ls "$work"/package/*.exe)
zip=$(ls "$work"/package/*.zip)
python3 -m zipfile -l "$zip" >"$work/zip.txt"
for program in "${programs[@]}"; do
    grep -q "/$program " "$work/zip.txt" || fail "the ZIP lacks $program"
done

wine reg export 'HKEY_CLASSES_ROOT' "$work/before.reg" /y >/dev/null 2>&1
wine "$installer" /S "/D=$folder" || fail "the installer failed"
for program in "${programs[@]}" Uninstall.exe; do
    [[ -f "$WINEPREFIX/drive_c/$folder_name/$program" ]] || fail "$program was not installed"
done
server=$(wine reg query 'HKCR\CLSID\{8C4F2D19-6A3B-4E7C-9D21-0B5F7A3C8E42}\InprocServer32' /ve 2>/dev/null | tr -d '\r')
[[ "$server" == *"REG_SZ    $folder\\tavorix.ocx" ]] || fail "the control is not registered from $folder: $server"
printf 'WScript.Echo "Style " & CreateObject("Tavorix.UserControl1").Style\n' >"$work/style.vbs"
[[ "$(wine cscript //nologo "$(winepath -w "$work/style.vbs")" 2>/dev/null | tr -d '\r')" == "Style 0" ]] ||
    fail "the installed control cannot be created by its program id"

# The uninstaller runs in place (_?=) so that it ends before the check; then only it is left.
wine "$folder\\Uninstall.exe" /S "_?=$folder" || fail "the uninstaller failed"
left=$(ls "$WINEPREFIX/drive_c/$folder_name")
[[ "$left" == "Uninstall.exe" ]] || fail "files left behind: $left"
wine reg export 'HKEY_CLASSES_ROOT' "$work/after.reg" /y >/dev/null 2>&1
cmp -s "$work/before.reg" "$work/after.reg" || fail "keys left behind in HKEY_CLASSES_ROOT"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkora Lirvane' >/dev/null 2>&1 &&
    fail "the uninstall entry is left behind"

[[ $failed -eq 0 ]] && echo "installed, registered, uninstalled"
exit $((failed > 0))
