#!/usr/bin/env bash
# inetfile.exe under Wine against nginx and tinyproxy on loopback: the same lines and exit
# statuses as on Linux, over WinINet.
#   usage: inetfile_windows_test.sh INETFILE.EXE SOURCE_DIR
set -uo pipefail
inetfile=$1
source_dir=$2
support=$source_dir/tests/support
work=$(mktemp -d)
stop() { [[ -s "$1" ]] && "$support/test-processes" stop "$(cat "$1")" "${2:-QUIT}"; }
trap 'stop "$work/plain/nginx.pid"; stop "$work/ranges/nginx.pid"; stop "$work/tls/nginx.pid";
      stop "$work/proxy/tinyproxy.pid" TERM; rm -rf "$work"' EXIT

# Wine's own services start now, or the first program hands its output pipe on to them.
wine cmd /c exit </dev/null >/dev/null 2>&1

mkdir -p "$work/root"
head -c 5000 /dev/urandom > "$work/root/a.bin"
head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/root/big.bin"
port=$(NGINX_SERVER_CONFIG="access_log $work/access.log combined;" \
    "$support/nginx-on-loopback" "$work/root" "$work/plain") || exit 1
ranges_ignored=$(NGINX_SERVER_CONFIG="max_ranges 0;" "$support/nginx-on-loopback" "$work/root" "$work/ranges") || exit 1
url="http://127.0.0.1:$port"
passed=0
failed=0

windows() { winepath -w "$1"; }
same() { cmp -s "$1" "$2" || { failed=$((failed + 1)); echo "FAILED $3: the copy differs"; }; }
check() {  # check NAME EXPECTED_STATUS EXPECTED_OUTPUT -- ARGUMENTS...
    local name=$1 status=$2 expected=$3
    shift 4
    local output actual
    output=$(wine "$inetfile" "$@" 2>&1 | tr -d '\r')
    actual=${PIPESTATUS[0]}
    if [[ $actual == "$status" && $output == "$expected" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED %s: status %s, output:\n%s\n' "$name" "$actual" "$output"
    fi
}

check info 0 $'FileExists=True\nFileSize=5000\nLastModified='"$(date -u -r "$work/root/a.bin" '+%a, %d %b %Y %H:%M:%S GMT')" \
    -- info "$url/a.bin"
heads=$(grep -c '"HEAD /a.bin HTTP/1.0" 200 .* "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)"$' "$work/access.log")
[[ $heads == 1 && $(wc -l < "$work/access.log") == 1 ]] \
    && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED one HEAD:"; cat "$work/access.log"; }

check get 0 $'DownloadProgress 2048\nDownloadProgress 4096\nDownloadProgress 5000\nDownloadProgress 5000\nDownloadComplete' \
    -- get "$url/a.bin" "$(windows "$work/a.out")"
same "$work/a.out" "$work/root/a.bin" get
check get-64MiB 0 'DownloadComplete' -- get --quiet "$url/big.bin" "$(windows "$work/big.out")"
same "$work/big.out" "$work/root/big.bin" get-64MiB
for server in "$port" "$ranges_ignored"; do
    head -c 3000 "$work/root/a.bin" > "$work/part.out"
    check "resume from $server" 0 $'DownloadProgress 5000\nDownloadProgress 5000\nDownloadComplete' \
        -- resume "http://127.0.0.1:$server/a.bin" "$(windows "$work/part.out")"
    same "$work/part.out" "$work/root/a.bin" "resume from $server"
done
check cancel 1 $'DownloadProgress 2048\nDownloadProgress 4096\nDownloadCancelled 4096' \
    -- get --cancel-after 2 "$url/a.bin" "$(windows "$work/c.out")"
check unreachable 1 'DownloadError Could not find Url' -- get --quiet "http://127.0.0.1:1/a.bin" "$(windows "$work/u.out")"
check local-error 2 'Error 76: Path not found' -- get --quiet "$url/a.bin" "$(windows "$work/missing")\\x.out"

# A named proxy that asks for credentials: with them the file comes, without them it does not.
proxy=$("$support/tinyproxy-on-loopback" "$work/proxy" velkora s3cret) || exit 1
through=(--connect-type 1 --proxy-server 127.0.0.1 --proxy-port "$proxy")
check proxy 0 'DownloadComplete' -- get --quiet "${through[@]}" --proxy-user velkora --proxy-password s3cret \
    "$url/a.bin" "$(windows "$work/p.out")"
same "$work/p.out" "$work/root/a.bin" proxy
wine "$inetfile" get --quiet "${through[@]}" "$url/a.bin" "$(windows "$work/q.out")" >/dev/null 2>&1
cmp -s "$work/q.out" "$work/root/a.bin" && { failed=$((failed + 1)); echo "FAILED proxy without credentials: the file came"; } \
    || passed=$((passed + 1))

# HTTPS trusts only the authorities of --ca-file.
"$support/make-test-certificates" "$work/certificates"
tls=$(NGINX_TLS_CERTIFICATE="$work/certificates/server.pem" NGINX_TLS_KEY="$work/certificates/server.key" \
    "$support/nginx-on-loopback" "$work/root" "$work/tls") || exit 1
check https 0 'DownloadComplete' \
    -- get --quiet --ca-file "$(windows "$work/certificates/authority.pem")" "https://127.0.0.1:$tls/a.bin" "$(windows "$work/s.out")"
same "$work/s.out" "$work/root/a.bin" https
check https-other-authority 1 'DownloadError Could not find Url' \
    -- get --quiet --ca-file "$(windows "$work/certificates/other-authority.pem")" "https://127.0.0.1:$tls/a.bin" "$(windows "$work/o.out")"
[[ -e "$work/o.out" ]] && { failed=$((failed + 1)); echo "FAILED https-other-authority: a file was made"; }

for pid in plain ranges tls; do
    stop "$work/$pid/nginx.pid" || failed=$((failed + 1))
    rm -f "$work/$pid/nginx.pid"
done
stop "$work/proxy/tinyproxy.pid" TERM || failed=$((failed + 1))
rm -f "$work/proxy/tinyproxy.pid"
echo "$passed passed, $failed failed"
((failed == 0))
