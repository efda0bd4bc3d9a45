#!/usr/bin/env bash
# tavorix.ocx under Wine, used by programs nobody here wrote: regsvr32 registers it and removes
# every key it wrote, a VBScript run by Windows Script Host creates and drives it, and the
# system's ATL host window places and draws it in tavorix-container.exe on a virtual display.
#   usage: tavorix_windows_test.sh TAVORIX.OCX TAVORIX-CONTAINER.EXE
set -uo pipefail
ocx=$1 container=$2
work=$(mktemp -d)
cleanup=("rm -rf '$work'")
trap 'for command in "${cleanup[@]}"; do eval "$command"; done' EXIT

# shellcheck source=../support/wine-display
source "$(dirname "$0")/../support/wine-display"
failed=0
fail() { failed=$((failed + 1)); echo "FAILED $case: $*"; }
windows_path() { winepath -w "$1" 2>/dev/null; }
# The text of value NAME of KEY (its default without a name).
value() {
    local which=(/ve)
    [[ -n "$2" ]] && which=(/v "$2")
    wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^ *[^ ]* *REG_SZ *//p'
}

clsid='{8C4F2D19-6A3B-4E7C-9D21-0B5F7A3C8E42}'
libid='{3E7A41C2-9B5D-4F08-A1C6-5D2E8B7F3A10}'
module=$(windows_path "$ocx")

case=regsvr32
# Windows Script Host registers its own type library on its first run: that happens before the
# snapshot, so that what is compared is only what the module writes and removes.
: >"$work/empty.vbs"
wine cscript //nologo "$(windows_path "$work/empty.vbs")" >/dev/null 2>&1
wine reg export 'HKEY_CLASSES_ROOT' "$work/before.reg" /y >/dev/null 2>&1
wine regsvr32 /s "$ocx" || fail "regsvr32 failed"
for expected in \
    "HKCR\\Tavorix.UserControl1\\CLSID||$clsid" \
    "HKCR\\CLSID\\$clsid||Tavorix.UserControl1" \
    "HKCR\\CLSID\\$clsid\\InprocServer32||$module" \
    "HKCR\\CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment" \
    "HKCR\\CLSID\\$clsid\\Control||" \
    "HKCR\\CLSID\\$clsid\\MiscStatus\\1||131473" \
    "HKCR\\CLSID\\$clsid\\ToolboxBitmap32||$module, 30000" \
    "HKCR\\CLSID\\$clsid\\TypeLib||$libid" \
    "HKCR\\CLSID\\$clsid\\Version||17.0" \
    "HKCR\\TypeLib\\$libid\\11.0\\0\\win64||$module" \
    "HKCR\\Interface\\{C2A9E5B7-1D4F-4A86-B3E0-7F6D2C1A9B58}\\TypeLib||$libid"; do
    IFS='|' read -r key name want <<<"$expected"
    wine reg query "$key" >/dev/null 2>&1 || { fail "no key $key"; continue; }
    [[ "$(value "$key" "$name")" == "$want" ]] || fail "$key ${name:-(default)} is '$(value "$key" "$name")', not '$want'"
done

case=cscript
cat >"$work/clock.vbs" <<'VBS'
Set clock = CreateObject("Tavorix.UserControl1")
WScript.Echo "Style " & clock.Style
clock.Style = 2
WScript.Echo "Style " & clock.Style
On Error Resume Next
clock.Style = 3
WScript.Echo "Put 3: " & Err.Number & " " & Err.Description
WScript.Echo "Style " & clock.Style
Err.Clear
clock.Style = 65536
WScript.Echo "Put 65536: " & Err.Number & " " & Err.Description
WScript.Echo "Style " & clock.Style
VBS
printf '%s\n' "Style 0" "Style 2" "Put 3: 340 Control array element '3' doesn't exist" "Style 3" \
    "Put 65536: 6 Overflow" "Style 65536" >"$work/expected.txt"
wine cscript //nologo "$(windows_path "$work/clock.vbs")" 2>/dev/null | tr -d '\r' >"$work/said.txt"
diff "$work/expected.txt" "$work/said.txt" >/dev/null || fail "the script said: $(cat "$work/said.txt")"

case=container
# The colours of the control's clock row in the container's window: the stage is at 8,8.
row_colours() {
    import -window "$form" "$work/form.png" 2>/dev/null &&
        convert "$work/form.png" -crop 118x27+8+8 +repage -format %c histogram:info:- | grep -o '#[0-9A-F]*' | sort | tr '\n' ' '
}
# Waits until the row shows exactly the colours given (a style's ground, lit and dim).
row_shows() {
    local deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)); do
        [[ "$(row_colours)" == "$1" ]] && return 0
        sleep 0.2
    done
    echo "row colours: $(row_colours)"
    return 1
}
wine "$container" Tavorix.UserControl1 --style 1 --size 200x60 >"$work/container.out" 2>&1 &
program=$!
form=""
for _ in $(seq 100); do
    form=$(xdotool search --onlyvisible --name '^Control container: Tavorix.UserControl1$' 2>/dev/null | head -n 1)
    [[ -n "$form" ]] && break
    sleep 0.2
done
if [[ -z "$form" ]]; then
    fail "no container window: $(cat "$work/container.out")"
else
    red='#000000 #800000 #FF0000 ' cyan='#000000 #008080 #00FFFF '
    row_shows "$red" || fail "the placed control does not show style 1"
    side=$((8 + 200 + 16 + 90))
    xdotool mousemove --window "$form" "$side" $((8 + 52 + 13)) click 1  # Save form
    xdotool mousemove --window "$form" "$side" $((8 + 18 + 10)) click 1 key Down Return  # the next style
    row_shows "$cyan" || fail "the style chosen on the form does not show"
    xdotool mousemove --window "$form" "$side" $((8 + 82 + 13)) click 1  # Restore form
    row_shows "$red" || fail "the restored form does not show the saved style"
    [[ ! -s "$work/container.out" ]] || fail "the container said: $(cat "$work/container.out")"
fi
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null

case=unregister
wine regsvr32 /s /u "$ocx" || fail "regsvr32 /u failed"
wine reg export 'HKEY_CLASSES_ROOT' "$work/after.reg" /y >/dev/null 2>&1
cmp -s "$work/before.reg" "$work/after.reg" || fail "keys left behind: $(diff <(iconv -f UTF-16 -t UTF-8 "$work/before.reg") <(iconv -f UTF-16 -t UTF-8 "$work/after.reg") | head -n 20)"

[[ $failed -eq 0 ]] && echo "all cases passed"
exit $((failed > 0))
