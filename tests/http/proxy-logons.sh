#!/usr/bin/env bash
# The client against proxies that want a logon, run by peers nobody here
# wrote (squid with basic_ncsa_auth, squid with negotiate_kerberos_auth and
# an MIT KDC) and by the NTLM peer, which checks the
# NTLMv2 answer with the password it knows. The answers to the logon
# question come from KORVANT_TEST_LOGONS (see proxy_logon_client.cpp). The
# servers behind (nginx on 8773 and, over TLS, 8774) log the logon headers
# they receive: a proxy's logon must never be among them.
set -uo pipefail
client=$1
peers="$KORVANT_BUILD/peers"
out="$KORVANT_BUILD/peers/proxy-logons"
squid=127.0.0.1:8770 ntlm=127.0.0.1:8771 refuser=127.0.0.1:8772
plain=http://127.0.0.1:8773/files/f65536.bin tls=https://localhost:8774/files/f65536.bin
password='Geheim-123'

for port in 8770 8771 8772 8773; do
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "the proxy logon peers are not running (scripts/test starts them)"
    exit 77
  fi
done
mkdir -p "$out"
failures=0
# The peers' logs hold other tests' lines too: only what this run adds counts.
lines_in() { if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi; }
ntlm_mark=$(lines_in "$peers/ntlm-proxy.log")
logons_mark=$(lines_in "$peers/nginx-logons.log")
since() { tail -n "+$(($2 + 1))" "$1"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# run NAME ANSWERS URL PROXY: the client's output in $out/NAME.
run() {
  local name=$1
  KORVANT_TEST_LOGONS=$2 "$KORVANT_ROOT/scripts/wine-run" "$client" "$3" "$out/$name.file" "$4" 2>&1 | tr -d '\r' >"$out/$name.txt"
}
# expect NAME TEXT: the output is exactly TEXT.
expect() {
  local got
  got=$(cat "$out/$1.txt")
  if [ "$got" != "$2" ]; then
    fail "$1: expected [$2], got [$got]"
  else
    echo "ok   $1"
  fi
}
same_file() {
  cmp -s "$out/$1.file" "$KORVANT_BUILD/www/files/f65536.bin" || fail "$1: the file did not arrive whole"
}
denied='failed: HTTP/1.1 407 Proxy Authentication Required'

# Basic (squid): right, wrong three times, wrong then right, Cancel.
run basic-right "korvant:$password" "$plain" "$squid"
expect basic-right "$(printf 'asked Basic refusals=0\nok 65536')"
same_file basic-right
run basic-wrong "korvant:fout1|korvant:fout2|korvant:fout3|korvant:fout4" "$plain" "$squid"
expect basic-wrong "$(printf 'asked Basic refusals=0\nasked Basic refusals=1\nasked Basic refusals=2\n%s' "$denied")"
run basic-second "korvant:fout|korvant:$password" "$plain" "$squid"
expect basic-second "$(printf 'asked Basic refusals=0\nasked Basic refusals=1\nok 65536')"
run basic-cancel "cancel" "$plain" "$squid"
expect basic-cancel "$(printf 'asked Basic refusals=0\n%s' "$denied")"
# The CONNECT of an https download carries the logon; the tunnel does not.
run basic-tunnel "korvant:$password" "$tls" "$squid"
expect basic-tunnel "$(printf 'asked Basic refusals=0\nok 65536')"
same_file basic-tunnel
# A 401 of the server behind is the server's: no proxy logon answers it.
run basic-server-401 "korvant:$password" "http://127.0.0.1:8773/secret/x" "$squid"
expect basic-server-401 "$(printf 'asked Basic refusals=0\nfailed: HTTP/1.1 401 Unauthorized')"

# NTLM (the peer): the logged-on user's credentials are tried first and
# refused under Wine (no cached logon), then the typed ones, as NTLMv2.
run ntlm-right "korvant:$password" "$plain" "$ntlm"
expect ntlm-right "$(printf 'asked NTLM refusals=0\nok 65536')"
same_file ntlm-right
run ntlm-wrong "korvant:fout1|korvant:fout2|korvant:fout3" "$plain" "$ntlm"
expect ntlm-wrong "$(printf 'asked NTLM refusals=0\nasked NTLM refusals=1\nasked NTLM refusals=2\n%s' "$denied")"
run ntlm-tunnel "KORVANT\\korvant:$password" "$tls" "$ntlm"
expect ntlm-tunnel "$(printf 'asked NTLM refusals=0\nok 65536')"
same_file ntlm-tunnel
run ntlm-cancel "cancel" "$plain" "$ntlm"
expect ntlm-cancel "$(printf 'asked NTLM refusals=0\n%s' "$denied")"
# A proxy that answers 407 whatever it gets: three refusals end it.
run refuser "korvant:$password" "$plain" "$refuser"
expect refuser "$(printf 'asked NTLM refusals=0\nasked NTLM refusals=1\nasked NTLM refusals=2\n%s' "$denied")"

# Negotiate (squid with negotiate_kerberos_auth): the logged-on user's own
# Kerberos ticket logs on, and nobody is asked.
krb="$peers/kerberos"
if [ -f "$krb/korvant.keytab" ] && (exec 3<>/dev/tcp/127.0.0.1/8776) 2>/dev/null; then
  rm -f "$krb/ccache"
  if KRB5_CONFIG="$krb/krb5.conf" kinit -k -t "$krb/korvant.keytab" korvant; then
    KRB5_CONFIG="$krb/krb5.conf" KRB5CCNAME="FILE:$krb/ccache" run negotiate-kerberos "cancel" "$plain" localhost:8776
    expect negotiate-kerberos "ok 65536"
    same_file negotiate-kerberos
    grep -q 'TCP_MISS/200 .* GET http://127.0.0.1:8773/files/f65536.bin korvant@KORVANT.TEST' "$krb/squid-access.log" ||
      fail "squid did not see the Kerberos logon: $(cat "$krb/squid-access.log")"
  else
    fail "kinit failed"
  fi
else
  fail "the Kerberos realm or its squid is not running"
fi

since "$peers/ntlm-proxy.log" "$ntlm_mark" >"$out/ntlm-proxy.log"
log="$out/ntlm-proxy.log"
[ "$(grep -c 'NTLMv2 ok' "$log")" -eq 2 ] || fail "the NTLM peer accepted $(grep -c 'NTLMv2 ok' "$log") logons, not 2"
[ "$(grep -c 'NTLMv2 wrong' "$log")" -eq 3 ] || fail "the NTLM peer refused $(grep -c 'NTLMv2 wrong' "$log") logons, not 3"
grep -q 'CONNECT localhost:8774 HTTP/1.1 | NTLM type 3 user=korvant domain=KORVANT | NTLMv2 ok' "$log" ||
  fail "the tunnel's NTLM logon did not name the domain"
[ "$(grep -c '407 always' "$log")" -le 5 ] || fail "the refusing proxy was asked $(grep -c '407 always' "$log") times"

# What the servers saw: the files, never a logon of any kind.
since "$peers/nginx-logons.log" "$logons_mark" >"$out/nginx-logons.log"
logons="$out/nginx-logons.log"
if grep -v 'authorization="-" proxy_authorization="-"' "$logons"; then
  fail "a server received a logon header (above)"
fi
[ "$(grep -c ' 200 ' "$logons")" -eq 6 ] || fail "the servers served $(grep -c ' 200 ' "$logons") downloads, not 6"
grep -q '"GET /secret/x HTTP/1.1" 401' "$logons" || fail "the server's 401 is not in its log"
# Nothing the client printed holds a password.
if grep -l -e "$password" -e fout "$out"/*.txt; then
  fail "a password appears in the client's output (files above)"
fi
[ "$failures" -eq 0 ]
