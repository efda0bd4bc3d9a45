#!/usr/bin/env bash
# The updater's real window under Wine on a virtual display, against nginx on loopback, driven
# with xdotool and seen as a screen reader sees it (window-probe): one update per case of the
# table, each in a folder of its own with version 1.0 of the demo application installed.
#   usage: update_windows_e2e_test.sh UPDATER_HOST.EXE DEMO_1.0.EXE DEMO_2.0.EXE SOURCE_DIR WINDOW_PROBE.EXE PLANTED.DLL
set -uo pipefail
host_exe=$1 demo1=$2 demo2=$3 source_dir=$4 probe_exe=$5 planted=$6
support=$source_dir/tests/support
work=$(mktemp -d)
chmod 755 "$work"  # a standard user's updater reads its folder here
cleanup=("rm -rf '$work'")
# Only this shell cleans up: a guard subshell stopped before it has started its sleep runs the
# trap too.
trap '[[ $BASHPID == "$$" ]] && for command in "${cleanup[@]}"; do eval "$command"; done' EXIT

# shellcheck source=../support/wine-display
source "$support/wine-display"
minisign -G -W -p "$work/vendor.pub" -s "$work/vendor.key" >/dev/null
key=$(sed -n 2p "$work/vendor.pub")
passed=0
failed=0
fail() { failed=$((failed + 1)); echo "FAILED $case: $*"; }

# Closes a message box with its OK button, and waits for it to go: keys meant for the window
# must not reach the box.
answer() {
    xdotool windowfocus "$1" key Return
    local deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)) && xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; do sleep 0.1; done
}
keys() { xdotool windowfocus --sync "$updater" key "$@"; }
# True once the window shows a line matching PATTERN to a screen reader, within 10 seconds.
probe_shows() {
    local deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)); do
        wine "$probe_exe" "Velkora Lirvane Güncelleme" 2>/dev/null | tr -d '\r' | grep -q -- "$1" && return 0
        sleep 0.2
    done
    fail "the window never showed: $1"
    return 1
}
# Closes the updater's window by its close box and waits for the program to end: what it did
# after the last box is done then.
close_updater() {
    xdotool windowfocus "$updater" key alt+F4
    wait_ended
}
wait_ended() {
    (sleep 30 && kill "$program" 2>/dev/null) &  # a guard: a program that does not end fails
    local guard=$!
    wait "$program" 2>/dev/null
    kill "$guard" 2>/dev/null
}
same() { cmp -s "$1" "$2"; }
# Exactly one updater window is left: the writing part asked no one else to write.
no_second_prompt() {
    local windows
    windows=$(xdotool search --onlyvisible --name "^Velkora Lirvane G.*ncelleme\$" 2>/dev/null | wc -l)
    ((windows == 1)) || { fail "$windows updater windows"; return 1; }
}

# run CASE ARRANGE EXPECT: a fresh folder and server; ARRANGE spoils them; the window is
# started and "Şimdi Güncelle" pressed; EXPECT checks what the window and the folder show.
run() {
    case=$1
    local arrange=$2 expect=$3
    app=$work/$case/app
    server=$work/$case/server
    mkdir -p "$app" "$work/$case/release"
    cp "$demo1" "$app/VelkoraLirvane.exe"
    cp "$host_exe" "$app/updater-host.exe"
    cp "$demo2" "$work/$case/release/VelkoraLirvane_2.0.exe"
    "$source_dir/scripts/publish-update" --secret-key "$work/vendor.key" --version 2.0 \
        "$work/$case/release/VelkoraLirvane_2.0.exe" "$server" >/dev/null
    nginx_config=""
    options=(--key "$key")
    launch=(wine)
    app_exe="$app/updater-host.exe"
    through=direct  # how the updater reaches nginx: direct, relay (cutting the program's first answer), mirror
    $arrange
    local port
    port=$(NGINX_SERVER_CONFIG="$nginx_config" "$support/nginx-on-loopback" "$server" "$work/$case/nginx") || { fail "no nginx"; return; }
    case "$through" in
        direct) hosts=(--update-host "127.0.0.1:$port") ;;
        relay) hosts=(--update-host "127.0.0.1:$("$support/cutting-relay" "$port" "$work/$case/relay" \
                          $(($(stat -c %s "$demo2") * 9 / 10)))") ;;
        mirror) hosts=(--update-host 127.0.0.1:1 --mirror "127.0.0.1:$port") ;;  # port 1: refused
    esac
    start_updater
    if $expect; then passed=$((passed + 1)); fi
    [[ -s "$work/$case/relay/pid" ]] && "$support/test-processes" stop "$(cat "$work/$case/relay/pid")"
    # Every program of the case ends with Wine's server (the test runs alone: RUN_SERIAL).
    kill "$program" 2>/dev/null
    wineserver -k 2>/dev/null
    [[ "${launch[0]}" == wine || "${launch[0]}" == env ]] || "${launch[@]/%wine/wineserver}" -k 2>/dev/null
    wine cmd /c exit </dev/null >/dev/null 2>&1
    "$support/test-processes" stop "$(cat "$work/$case/nginx/nginx.pid")" QUIT || fail "nginx did not stop"
}

# Starts the updater of the case and presses "Şimdi Güncelle".
start_updater() {
    "${launch[@]}" "$app_exe" "${hosts[@]}" "${options[@]}" >/dev/null 2>&1 &
    program=$!
    updater=$(window "Velkora Lirvane Güncelleme") || { fail "the window did not show with its exact title"; return 1; }
    # "Şimdi Güncelle" lies at 8,104 with a size of 113 x 49 in the window.
    xdotool mousemove --window "$updater" 64 128 click 1
}

installs_and_starts() {
    local box started
    box=$(window "Velkora") || { fail "no completion box"; return 1; }
    # Held down: its repeats must not press what the box leaves behind (" İptal" had the focus).
    xdotool windowfocus "$box" keydown Return sleep 1 keyup Return
    started=$(window "Velkora Lirvane 2.0") || { fail "version 2.0 did not start"; return 1; }
    same "$app/VelkoraLirvane.exe" "$demo2" || { fail "the program is not version 2.0"; return 1; }
    same "$app/VelkoraLirvane_old.exe" "$demo1" || { fail "the backup is not version 1.0"; return 1; }
    [[ ! -e "$app/VelkoraLirvane_down.exe" ]] || { fail "the download was left"; return 1; }
}
refused() {
    local box
    box=$(window "Güncelleme Hatası") || { fail "no refusal box"; return 1; }
    answer "$box"
    close_updater
    same "$app/VelkoraLirvane.exe" "$demo1" || { fail "the program changed"; return 1; }
    [[ ! -e "$app/VelkoraLirvane_old.exe" && ! -e "$app/VelkoraLirvane_down.exe" ]] || { fail "files were left"; return 1; }
}
cancelled_at_once() {
    # Everything of the program's name trickles, one byte a second, from the request that
    # follows the file-name text on: once that text is served, the trickle is under way.
    local deadline=$((SECONDS + 10))
    until grep -q '"GET /lirvane/lirvanedosyaPlus2.txt ' "$work/$case/access.log" 2>/dev/null; do
        ((SECONDS < deadline)) || { fail "the download never began"; return 1; }
        sleep 0.1
    done
    local pressed=$EPOCHREALTIME box
    # " İptal" lies at 132,104 with a size of 113 x 49 in the window.
    xdotool mousemove --window "$updater" 188 128 click 1
    box=$(window "Velkora" 5) || { fail "no cancel box"; return 1; }
    local seconds
    seconds=$(awk -v a="$pressed" -v b="$EPOCHREALTIME" 'BEGIN { print b - a }')
    awk -v s="$seconds" 'BEGIN { exit !(s < 1.5) }' || { fail "the cancel took $seconds s"; return 1; }
    answer "$box"
    same "$app/VelkoraLirvane.exe" "$demo1" || { fail "the program changed"; return 1; }
}

# By keyboard alone, and read as a screen reader reads it: the focus goes on from a button that
# went off, the link is a stop of the tab order, the bar is the system's progress control with
# its position, Escape cancels, and after the box the focus is on the first button again; then
# Escape closes the window as its close box does.
by_keyboard_and_screen_reader() {
    probe_shows 'focus Button " İptal"' || return 1
    probe_shows 'control msctls_progress32 "%[0-9]*" position [1-9][0-9]* of [1-9]' || return 1
    keys Tab
    probe_shows 'focus Button "Programın Tamamını İndirmek için buraya tıklayınız"' || return 1
    keys Escape
    local box
    box=$(window "Velkora" 5) || { fail "Escape cancelled nothing"; return 1; }
    answer "$box"
    probe_shows 'focus Button "Şimdi Güncelle"' || return 1
    same "$app/VelkoraLirvane.exe" "$demo1" || { fail "the program changed"; return 1; }
    keys Escape  # now the close box's: the cancelled part goes with the window
    wait_ended
    [[ ! -e "$app/VelkoraLirvane_down.exe" ]] || { fail "Escape left the cancelled part"; return 1; }
}

signed() { :; }
# The program itself is spoilt: no smaller form of it is offered.
no_forms() { rm -f "$server/lirvane/VelkoraLirvane_2.0.exe.delta"; }
tampered() { no_forms; printf '#' >> "$server/lirvane/VelkoraLirvane_2.0.exe"; }
cut_unsigned() {
    no_forms
    options=()
    rm -f "$server/lirvane/VelkoraLirvane_2.0.exe.minisig"
    head -c $(($(stat -c %s "$demo2") / 2)) "$demo2" > "$server/lirvane/VelkoraLirvane_2.0.exe"
}
html_version() { printf '<html><body><p>2.0</p></body></html>' > "$server/lirvane/lirvanesurumPlus2.txt"; }
trickling() {
    nginx_config="access_log $work/$case/access.log; location /lirvane/VelkoraLirvane_2.0.exe { limit_rate 1; }"
}
slow() { nginx_config="location /lirvane/VelkoraLirvane_2.0.exe { limit_rate 2k; }"; }
# A leftover download that is a link to the program (Wine deletes what a link leads to).
linked_download() { ln -s "$app/VelkoraLirvane.exe" "$app/VelkoraLirvane_down.exe"; }
linked_and_tampered() { linked_download; tampered; }
lock_is_a_folder() { mkdir "$app/updatelirvane.lock"; }
# The updater of a standard user in a folder that user cannot write (root's, mode 755), as an
# installation for all users is to that user; its elevated writing part cannot write either.
standard_user() {
    launch=("$support/standard-user" wine)
    "${launch[@]}" cmd /c exit >/dev/null 2>&1  # its prefix, made on first use
    (($? != 77)) || { echo "no standard user can be made here"; launch=(wine); }
}
cannot_write_and_says_so() {
    [[ "${launch[0]}" == wine ]] && return 0  # no standard user: nothing to show
    local box
    box=$(window "Güncelleme Hatası") || { fail "no box"; return 1; }
    no_second_prompt || return 1
    answer "$box"
    same "$app/VelkoraLirvane.exe" "$demo1" || { fail "the program changed"; return 1; }
    [[ $(ls "$app" | wc -l) == 2 ]] || { fail "files were left: $(ls "$app")"; return 1; }
}

# Libraries of the system's names planted beside the updater (Wine searches as Windows does with
# the override): the updater loads its own from System32 and none of these.
planted_libraries() {
    for library in crypt32 wininet; do cp "$planted" "$app/$library.dll"; done
    launch=(env WINEDLLOVERRIDES="crypt32,wininet=n,b" wine)
}
installs_and_loads_none() {
    installs_and_starts || return 1
    local loaded
    loaded=$(ls "$app" | grep '\.loaded$')
    [[ -z "$loaded" ]] || { fail "loaded $loaded"; return 1; }
}
# The folder reached through a link its user can point elsewhere (a junction on Windows, a
# Unix link under Wine): the writing part refuses to run from it, and a run started through it
# works in the folder resolved at its start, wherever the link leads meanwhile.
through_a_link() {
    mkdir -p "$work/$case/elsewhere"
    ln -s "$app" "$work/$case/link"
    local link
    link=$(winepath -w "$work/$case/link")
    timeout 60 wine "$link\\updater-host.exe" --update-host 127.0.0.1:1 --key "$key" --elevated-update >/dev/null 2>&1
    status=$?
    launch=(wine)
    app_exe="$link\\updater-host.exe"
    nginx_config="location /lirvane/VelkoraLirvane_2.0.exe { limit_rate 100k; }"
}
refused_there_and_installed_here() {
    ((status == 3)) || { fail "the writing part ran through the link (status $status)"; return 1; }
    ln -sfn "$work/$case/elsewhere" "$work/$case/link"  # while the download runs
    installs_and_starts || return 1
    [[ -z "$(ls "$work/$case/elsewhere")" ]] || { fail "written elsewhere: $(ls "$work/$case/elsewhere")"; return 1; }
}

# A patch release: version 1.0, the one installed, was published before 2.0, which comes as a
# patch of it; the program itself is never fetched.
patch_release() {
    cp "$demo1" "$work/$case/release/VelkoraLirvane_1.0.exe"
    for release in 1.0 2.0; do
        "$source_dir/scripts/publish-update" --secret-key "$work/vendor.key" --version "$release" \
            "$work/$case/release/VelkoraLirvane_$release.exe" "$server" >/dev/null
    done
    nginx_config="access_log $work/$case/access.log;"
}
installs_from_the_patch() {
    installs_and_starts || return 1
    grep -q 'GET /lirvane/VelkoraLirvane_2.0.exe.from-[0-9a-f]*.zst ' "$work/$case/access.log" ||
        { fail "no patch was fetched"; return 1; }
    ! grep -q 'GET /lirvane/VelkoraLirvane_2.0.exe ' "$work/$case/access.log" ||
        { fail "the whole program was fetched"; return 1; }
}

# A download cut at 90% by the network: " İptal", "Kapat", and a new run continues it with the
# rest alone, from the same file on nginx (its ETag).
cut_by_the_network() {
    no_forms  # the program itself is what is continued
    through=relay
    nginx_config="access_log $work/$case/access.log;"
}
continues_in_a_new_run() {
    local box
    box=$(window updatelirvane) || { fail "no download error"; return 1; }
    answer "$box"
    [[ -f "$app/VelkoraLirvane_down.exe.resume" ]] || { fail "no part was kept"; return 1; }
    keys Escape  # " İptal", as the download failed
    box=$(window Velkora) || { fail "no cancel box"; return 1; }
    answer "$box"
    probe_shows 'focus Button "Şimdi Güncelle"' || return 1
    keys Tab Return  # "Kapat", which keeps the part
    wait_ended
    start_updater || return 1
    installs_and_starts || return 1
    grep -q '"GET /lirvane/VelkoraLirvane_2.0.exe HTTP/1.[01]" 206 ' "$work/$case/access.log" ||
        { fail "the rest was not asked for alone"; return 1; }
}
# The update server's port closed: the mirror serves the update, with no message of the first.
a_closed_server_then_a_mirror() { through=mirror; }

run "a-signed-update" signed installs_and_starts
run "a-cut-download-continues-in-a-new-run" cut_by_the_network continues_in_a_new_run
run "a-closed-server-then-a-mirror" a_closed_server_then_a_mirror installs_and_starts
run "a-patch-release" patch_release installs_from_the_patch
run "planted-system-libraries" planted_libraries installs_and_loads_none
run "a-folder-reached-through-a-link" through_a_link refused_there_and_installed_here
run "a-tampered-program" tampered refused
run "a-cut-program-without-a-key" cut_unsigned refused
run "a-version-page-in-html" html_version installs_and_starts
run "a-cancel-while-the-server-trickles" trickling cancelled_at_once
run "a-keyboard-and-a-screen-reader" slow by_keyboard_and_screen_reader
run "a-leftover-download-linked-to-the-program" linked_download installs_and_starts
run "a-tampered-program-and-a-linked-leftover" linked_and_tampered refused
run "a-folder-in-the-lock-files-place" lock_is_a_folder refused
run "a-standard-user-in-a-folder-for-all-users" standard_user cannot_write_and_says_so
run "a-folder-path-beyond-260-characters/$(printf 'x%.0s' {1..120})/$(printf 'y%.0s' {1..120})" signed installs_and_starts

echo "$passed passed, $failed failed"
((failed == 0))
