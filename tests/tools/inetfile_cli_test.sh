#!/usr/bin/env bash
# inetfile from the shell against nginx on loopback: each outcome with its lines and exit status.
#   usage: inetfile_cli_test.sh INETFILE SOURCE_DIR
set -uo pipefail
inetfile=$1
source_dir=$2
work=$(mktemp -d)
stop() { [[ -s "$1" ]] && "$source_dir/tests/support/test-processes" stop "$(cat "$1")" QUIT; }
trap 'stop "$work/nginx/nginx.pid"; stop "$work/tls/nginx.pid"; umount "$work/small" 2>/dev/null; rm -rf "$work"' EXIT

mkdir -p "$work/root"
head -c 5000 /dev/urandom > "$work/root/a.bin"
port=$("$source_dir/tests/support/nginx-on-loopback" "$work/root" "$work/nginx") || exit 1
url="http://127.0.0.1:$port"
passed=0
failed=0

check() {  # check NAME EXPECTED_STATUS EXPECTED_OUTPUT -- COMMAND...
    local name=$1 status=$2 expected=$3
    shift 4
    local output actual
    output=$("$@" 2>&1)
    actual=$?
    if [[ $actual == "$status" && $output == "$expected" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED %s: status %s, output:\n%s\n' "$name" "$actual" "$output"
    fi
}

check info 0 $'FileExists=True\nFileSize=5000\nLastModified='"$(date -u -r "$work/root/a.bin" '+%a, %d %b %Y %H:%M:%S GMT')" \
    -- "$inetfile" info "$url/a.bin"
check get 0 $'DownloadProgress 2048\nDownloadProgress 4096\nDownloadProgress 5000\nDownloadProgress 5000\nDownloadComplete' \
    -- "$inetfile" get "$url/a.bin" "$work/a.out"
cmp -s "$work/a.out" "$work/root/a.bin" || { failed=$((failed + 1)); echo "FAILED get: file differs"; }
head -c 3000 "$work/root/a.bin" > "$work/part.out"
check resume 0 $'DownloadProgress 5000\nDownloadProgress 5000\nDownloadComplete' \
    -- "$inetfile" resume "$url/a.bin" "$work/part.out"
cmp -s "$work/part.out" "$work/root/a.bin" || { failed=$((failed + 1)); echo "FAILED resume: file differs"; }
check cancel 1 $'DownloadProgress 2048\nDownloadProgress 4096\nDownloadCancelled 4096' \
    -- "$inetfile" get --cancel-after 2 "$url/a.bin" "$work/c.out"
check quiet 0 'DownloadComplete' -- "$inetfile" --quiet get "$url/a.bin" "$work/q.out"
check unreachable 1 'DownloadError Could not find Url' -- "$inetfile" get --quiet "http://127.0.0.1:1/a.bin" "$work/u.out"
check local-error 2 'Error 76: Path not found' -- "$inetfile" get --quiet "$url/a.bin" "$work/missing/x.out"
check proxy-port 2 'Error 6: Overflow' -- "$inetfile" get --proxy-port 40000 "$url/a.bin" "$work/p.out"
check usage 64 "$("$inetfile" 2>&1)" -- "$inetfile" fetch "$url/a.bin"
check wide-number 64 "$("$inetfile" 2>&1)" -- "$inetfile" get --connect-type 4294967297 "$url/a.bin" "$work/w.out"
check wide-port 64 "$("$inetfile" 2>&1)" -- "$inetfile" get --proxy-port 4294975376 "$url/a.bin" "$work/w.out"

# HTTPS trusts only the authorities of --ca-file.
"$source_dir/tests/support/make-test-certificates" "$work/certificates"
tls_port=$(NGINX_TLS_CERTIFICATE="$work/certificates/server.pem" NGINX_TLS_KEY="$work/certificates/server.key" \
    "$source_dir/tests/support/nginx-on-loopback" "$work/root" "$work/tls") || exit 1
check https 0 'DownloadComplete' \
    -- "$inetfile" get --quiet --ca-file "$work/certificates/authority.pem" "https://127.0.0.1:$tls_port/a.bin" "$work/s.out"
check https-other-authority 1 'DownloadError Could not find Url' \
    -- "$inetfile" get --quiet --ca-file "$work/certificates/other-authority.pem" "https://127.0.0.1:$tls_port/a.bin" "$work/o.out"

# A full disk ends the download with its file error alone, also when a cancel is pending:
# the bytes counted reach the file before the cancel's event could be raised.
if ((EUID == 0)) && mkdir -p "$work/small" && mount -t tmpfs -o size=16k tmpfs "$work/small"; then
    head -c 100000 /dev/urandom > "$work/root/big.bin"
    progress=$(for ((n = 2048; n <= 20480; n += 2048)); do echo "DownloadProgress $n"; done)
    check full-disk-cancel 2 "$progress"$'\nError 61: Disk full' \
        -- "$inetfile" get --cancel-after 10 "$url/big.bin" "$work/small/c.out"
    check full-disk 2 'Error 61: Disk full' -- "$inetfile" get --quiet "$url/big.bin" "$work/small/d.out"
fi

for server in nginx tls; do
    stop "$work/$server/nginx.pid" || failed=$((failed + 1))
    rm -f "$work/$server/nginx.pid"
done
echo "$passed passed, $failed failed"
((failed == 0))
