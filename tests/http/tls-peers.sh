#!/usr/bin/env bash
# fetch.exe over TLS against nginx and through tinyproxy's CONNECT (started
# by tests/peers/start-peers.sh): every test file byte for byte, counted and
# chunked, with the protocol and server name the server's log shows; and each
# kind of bad server failing at once with its own plain message. The server
# on 8743 offers TLS 1.3 and 1.2, and the client asks for both: which one is
# agreed on is the platform's choice (Wine's SChannel has no TLS 1.3 yet).
set -euo pipefail
fetch=$1
run() { timeout 600 "$KORVANT_ROOT/scripts/wine-run" "$fetch" "$@"; }
www="$KORVANT_BUILD/www/files"
peers="$KORVANT_BUILD/peers"
out="$peers/tls-downloads"
proxy=127.0.0.1:8708

if ! curl -sf -o /dev/null --cacert "$peers/certs/ca.pem" https://localhost:8743/files/f0.bin; then
  echo "nginx over TLS on :8743 is not running (scripts/test starts it)"
  exit 77
fi

mkdir -p "$out"
trap 'rm -rf "$out"' EXIT
tls_log_line() { tail -n 1 "$peers/nginx-tls.log" 2>/dev/null; }
source "$(dirname "$0")/fetch-checks.sh"

# The protocol the server agreed on and the name the client sent.
check_log() { # label, expected port + protocol + sni prefix
  local line
  line=$(tls_log_line)
  # shellcheck disable=SC2254 # the expectation is a pattern
  case "$line" in
  $2*) echo "ok   $1: $line" ;;
  *) fail "$1: the server logged: $line" ;;
  esac
}

for f in "$www"/*.bin; do
  name=$(basename "$f")
  check "https://localhost:8743/files/$name" "$f" "$name counted (TLS 1.2 or 1.3)"
  check_log "$name counted" "8743 TLSv1.[23] sni=localhost \"GET /files/$name HTTP/1.1\" 200"
  check "https://localhost:8743/chunked/$name" "$f" "$name chunked (TLS 1.2 or 1.3)"
  check_log "$name chunked" "8743 TLSv1.[23] sni=localhost \"GET /chunked/$name HTTP/1.1\" 200"
done
for name in f0.bin f32769.bin f10485760.bin; do
  check "https://localhost:8744/files/$name" "$www/$name" "$name (TLS 1.2)"
  check_log "$name over TLS 1.2" "8744 TLSv1.2 sni=localhost \"GET /files/$name HTTP/1.1\" 200"
done
check "https://localhost:8743/files/f1048583.bin" "$www/f1048583.bin" "f1048583.bin through tinyproxy (TLS 1.2 or 1.3)" --proxy "$proxy"
check_log "through tinyproxy" "8743 TLSv1.[23] sni=localhost \"GET /files/f1048583.bin HTTP/1.1\" 200"
check "https://localhost:8743/chunked/f10485760.bin" "$www/f10485760.bin" "f10485760.bin chunked through tinyproxy" --proxy "$proxy"
check "https://localhost:8744/files/f1048583.bin" "$www/f1048583.bin" "f1048583.bin through tinyproxy (TLS 1.2)" --proxy "$proxy"
check_log "through tinyproxy" "8744 TLSv1.2 sni=localhost \"GET /files/f1048583.bin HTTP/1.1\" 200"

# The client ends a connection the server asked it to close with a TLS
# close notification, not a bare cut.
: >"$peers/tls-notify.log"
if ! run https://localhost:8751/x "$out/notify" --tries 1 >"$out/stdout" 2>"$out/stderr"; then
  fail "close notification: $(cat "$out/stderr")"
elif [ "$(cat "$out/notify")" != hello ]; then
  fail "close notification: the body is $(head -c 100 "$out/notify")"
else
  for _ in $(seq 50); do [ -s "$peers/tls-notify.log" ] && break; sleep 0.1; done
  case "$(cat "$peers/tls-notify.log")" in
  close_notify) echo "ok   close notification sent at the end" ;;
  *) fail "close notification: the server saw: $(cat "$peers/tls-notify.log")" ;;
  esac
fi
rm -f "$out/notify"

# Failures: one try each, a clear message, and no hang (the time-out above
# would end a hang after ten minutes; these take seconds).
expect_error() { # label, expected start of stderr, URL, fetch options
  local label=$1 expected=$2 url=$3 started=$SECONDS
  shift 3
  if run "$url" "$out/bad" --tries 1 "$@" >"$out/stdout" 2>"$out/stderr"; then
    fail "$label: fetch succeeded"
  elif [ -s "$out/bad" ]; then
    fail "$label: bytes were written: $(head -c 100 "$out/bad")"
  else
    local got
    got=$(tr -d '\r' <"$out/stderr" | tr '\n' ' ')
    case "$got" in
    "$expected"*) echo "ok   $label ($((SECONDS - started)) s): $got" ;;
    *) fail "$label: $got" ;;
    esac
  fi
  rm -f "$out/bad"
}
expect_error "expired certificate" \
  "ENetTlsCertificateExpired: The certificate of localhost:8745 has expired or is not valid yet" \
  https://localhost:8745/files/f1.bin
expect_error "wrong host name" \
  "ENetTlsCertificateWrongHost: The certificate of localhost:8746 is made out for another host name" \
  https://localhost:8746/files/f1.bin
expect_error "untrusted authority" \
  "ENetTlsCertificateUntrusted: The certificate of localhost:8747 is not issued by a trusted certification authority" \
  https://localhost:8747/files/f1.bin
expect_error "closed during the handshake" \
  "ENetTlsHandshakeError: The server localhost:8748 closed the connection during the secure (TLS) handshake." \
  https://localhost:8748/files/f1.bin
expect_error "plain HTTP on the TLS port" \
  "ENetTlsNotTls: The server localhost:8749 does not answer in TLS: it answered as a plain HTTP server." \
  https://localhost:8749/files/f1.bin
expect_error "only outdated protocols" \
  "ENetTlsHandshakeError: The server localhost:8750 offers only TLS 1.1, an outdated protocol; TLS 1.2 or 1.3 is needed." \
  https://localhost:8750/files/f1.bin
expect_error "CONNECT refused by the proxy" "ENetHTTPProtocolException: HTTP/1.1 403 Access violation" \
  https://localhost:8749/files/f1.bin --proxy "$proxy"
# Bytes a proxy puts behind its answer to CONNECT did not come through TLS:
# they end the download, and nothing of them is taken as the server's reply.
expect_error "bytes behind the proxy's CONNECT answer" \
  "ENetTunnelNotClean: The proxy sent data for localhost:8743 before the secure (TLS) connection was made; the connection is not used." \
  https://localhost:8743/files/f1.bin --proxy 127.0.0.1:8752
# The test authority names no revocation list, so revocation cannot be
# checked: accepted, and said when the download then fails.
expect_error "missing file over TLS" \
  "ENetHTTPProtocolException: HTTP/1.1 404 Not Found (Whether the server's certificate was revoked could not be checked.)" \
  https://localhost:8743/files/missing.bin

[ "$failures" -eq 0 ]
