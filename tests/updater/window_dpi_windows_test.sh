#!/usr/bin/env bash
# The updater's real window under Wine at 96 and at 144 dots per inch (LogPixels of the
# prefix's user, 150 %): at 144 the window is 1.5 times its size at 96, and so are its parts,
# at 1.5 times their places: the pictures of "Şimdi Güncelle" and "Kapat" and the link's text,
# each found on a screenshot by its colour. The screenshots stay in OUT_DIR.
#   usage: window_dpi_windows_test.sh UPDATER_HOST.EXE SOURCE_DIR OUT_DIR
set -uo pipefail
host_exe=$1 source_dir=$2 out=$3
cleanup=("wine reg delete 'HKCU\\Control Panel\\Desktop' /v LogPixels /f >/dev/null 2>&1" "wineserver -k 2>/dev/null")
trap 'for command in "${cleanup[@]}"; do eval "$command"; done' EXIT
# shellcheck source=../support/wine-display
source "$source_dir/tests/support/wine-display"
mkdir -p "$out"
failed=0
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }

# The window at DPI, shot into OUT/window-DPI.png; its size on stdout.
shoot() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -k 2>/dev/null
    wine cmd /c exit </dev/null >/dev/null 2>&1
    wine "$host_exe" --update-host 127.0.0.1:1 >/dev/null 2>&1 &
    local program=$! id
    id=$(window "Velkora Lirvane Güncelleme") || { echo "no window at $1 dpi" >&2; return 1; }
    # Drawn once the picture buttons have drawn: "Kapat" is the last of them.
    local deadline=$((SECONDS + 20))
    until part "$out/probe.png" 'rgb(31,79,160)' 20% >/dev/null || ((SECONDS > deadline)); do
        import -window "$id" "$out/probe.png"
    done
    import -window "$id" "$out/window-$1.png"
    kill "$program" 2>/dev/null
    identify -format "%wx%h" "$out/window-$1.png"
}
# The box WxH+X+Y of the pixels of IMAGE within FUZZ of COLOUR; fails when there is none.
part() {
    local box
    box=$(convert "$1" -alpha off -fuzz "$3" -fill white +opaque "$2" -format "%@" info: 2>/dev/null)
    [[ -n "$box" && "$box" != 0x0* ]] && echo "$box"
}
# Whether B is 1.5 times A within TOLERANCE (a fraction), for each number of two boxes.
scaled() {
    awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN {
        n = split(a, x, /[x+]/); split(b, y, /[x+]/)
        for (i = 1; i <= n; i++) { want = 1.5 * x[i]; if (y[i] < want * (1 - t) - 2 || y[i] > want * (1 + t) + 2) exit 1 }
    }'
}

small=$(shoot 96) && large=$(shoot 144) || exit 1
[[ "$small" == 401x206 ]] || fail "the window is $small at 96 dpi, not its layout's 401x206"
[[ "$large" == 602x309 ]] || fail "the window is $large at 144 dpi, not 1.5 times its size at 96"
for feature in "the picture of Şimdi Güncelle|rgb(46,157,58)|12%" "the picture of Kapat|rgb(31,79,160)|20%" \
               "the link's text|rgb(0,0,192)|15%"; do
    IFS='|' read -r name colour fuzz <<<"$feature"
    at96=$(part "$out/window-96.png" "$colour" "$fuzz") || { fail "$name is not on the window at 96 dpi"; continue; }
    at144=$(part "$out/window-144.png" "$colour" "$fuzz") || { fail "$name is not on the window at 144 dpi"; continue; }
    scaled "$at96" "$at144" 0.08 || fail "$name is $at144 at 144 dpi where $at96 at 96 was"
done
[[ $failed -eq 0 ]] && echo "the window and its parts are 1.5 times as large at 144 dpi"
exit $((failed > 0))
