# Sourced by scripts/test: starts the real peers the HTTP tests talk to.
#   nginx      127.0.0.1:8707  serves $KORVANT_BUILD/www (www/korvant07/ is the demo's)
#   tinyproxy  127.0.0.1:8708  HTTP proxy (CONNECT to 8743 and 8744 only)
#   nginx over TLS on 8743 (1.2 and 1.3), 8744 (1.2 only), 8745 (expired
#   certificate), 8746 (wrong host name), 8747 (untrusted authority); plain
#   HTTP on 8749; 8748 closes during the handshake (tls_closer.py); 8750
#   offers only TLS 1.0 and 1.1; 8751 (tls_notify.py) logs whether the client
#   ended its connection with a TLS close notification. 8752 (dirty_proxy.py)
#   answers CONNECT with bytes of its own behind the 200; 8753 (slow_drip.py)
#   sends its files a byte at a time. 8760: nginx with the proxy configuration
#   scripts of tests/peers/pac.
# Proxies that want a logon (user korvant, password in $korvant_proxy_password):
#   squid      127.0.0.1:8770  Basic, checked by basic_ncsa_auth
#   8771 (ntlm_proxy.py) NTLM, the NTLMv2 answer checked by the peer itself;
#   8772 the same peer refusing every request with 407.
#   nginx on 8773 (plain, /secret/ answers 401) and 8774 (TLS) logs the
#   logon headers a server receives (nginx-logons.log).
#   A Kerberos realm KORVANT.TEST (MIT KDC on 8775) and squid on 8776 that
#   wants Negotiate for HTTP/localhost; the user's ticket is made with
#   KRB5_CONFIG=$korvant_krb/krb5.conf kinit -k -t $korvant_krb/korvant.keytab korvant.
# The certificates are made by make-certs.sh into peers/certs; its authority
# is trusted in the build tree's Wine prefix (tools/trustca), never the host.
# The client's test files are generated under www/files/.

korvant_peers_dir="$KORVANT_BUILD/peers"
korvant_www="$KORVANT_BUILD/www"
korvant_certs="$korvant_peers_dir/certs"

# Files from 0 bytes to 1 GiB; the big one is random data made once per build tree.
make_peer_files() {
  local dir="$korvant_www/files" size
  mkdir -p "$dir"
  for size in 0 1 1000 32767 32768 32769 65536 1048583 10485760; do
    [ -f "$dir/f$size.bin" ] && [ "$(stat -c %s "$dir/f$size.bin")" -eq "$size" ] && continue
    head -c "$size" /dev/urandom >"$dir/f$size.bin"
  done
  if [ ! -f "$dir/f1g.bin" ] || [ "$(stat -c %s "$dir/f1g.bin")" -ne 1073741824 ]; then
    log "making the 1 GiB test file"
    head -c 1073741824 /dev/urandom >"$dir/f1g.bin"
  fi
}

source "$KORVANT_ROOT/tests/peers/trust.sh"

wait_for_port() {
  local port=$1 name=$2
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  log "$name did not start on port $port (see $korvant_peers_dir)"
  return 1
}

korvant_proxy_user=korvant
korvant_proxy_password='Geheim-123'

# squid drops root for its own user, which must be able to write its logs.
start_squid() {
  local dir="$korvant_peers_dir/squid"
  mkdir -p "$dir"
  echo "$korvant_proxy_user:$(openssl passwd -1 "$korvant_proxy_password")" >"$dir/passwd"
  sed -e "s|@SQUID@|$dir|g" "$KORVANT_ROOT/tests/peers/squid.conf.in" >"$dir/squid.conf"
  rm -f "$dir/access.log"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R proxy "$dir"
  fi
  squid -N -f "$dir/squid.conf" </dev/null >/dev/null 2>"$dir/stderr.log" &
  KORVANT_PIDS+=($!)
}

# The realm is made afresh for each run: database, the proxy's service key
# and the user's key (so that a test can log on without typing).
korvant_krb="$korvant_peers_dir/kerberos"
start_kerberos() {
  rm -rf "$korvant_krb"
  mkdir -p "$korvant_krb"
  local f
  for f in krb5.conf kdc.conf; do
    sed -e "s|@KRB@|$korvant_krb|g" "$KORVANT_ROOT/tests/peers/kerberos/$f.in" >"$korvant_krb/$f"
  done
  sed -e "s|@KRB@|$korvant_krb|g" "$KORVANT_ROOT/tests/peers/squid-negotiate.conf.in" >"$korvant_krb/squid.conf"
  : >"$korvant_krb/kadm5.acl"
  (
    export KRB5_CONFIG="$korvant_krb/krb5.conf" KRB5_KDC_PROFILE="$korvant_krb/kdc.conf"
    kdb5_util create -s -r KORVANT.TEST -P "korvant-test-master" &&
      kadmin.local -r KORVANT.TEST -q "addprinc -pw $korvant_proxy_password $korvant_proxy_user" &&
      kadmin.local -r KORVANT.TEST -q "addprinc -randkey HTTP/localhost" &&
      kadmin.local -r KORVANT.TEST -q "ktadd -k $korvant_krb/http.keytab HTTP/localhost" &&
      kadmin.local -r KORVANT.TEST -q "ktadd -norandkey -k $korvant_krb/korvant.keytab $korvant_proxy_user"
  ) >"$korvant_krb/setup.log" 2>&1 || { log "the Kerberos realm could not be made (see $korvant_krb/setup.log)"; return 0; }
  KRB5_CONFIG="$korvant_krb/krb5.conf" KRB5_KDC_PROFILE="$korvant_krb/kdc.conf" krb5kdc -n </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)
  if [ "$(id -u)" -eq 0 ]; then
    chown -R proxy "$korvant_krb"
  fi
  KRB5_CONFIG="$korvant_krb/krb5.conf" squid -N -f "$korvant_krb/squid.conf" </dev/null >/dev/null 2>"$korvant_krb/squid-stderr.log" &
  KORVANT_PIDS+=($!)
}

# The NTLM peer needs MD4: Debian's own python3 has pycryptodome for it.
korvant_peer_python() {
  if [ -x /usr/bin/python3 ]; then echo /usr/bin/python3; else echo python3; fi
}

start_peers() {
  mkdir -p "$korvant_peers_dir" "$korvant_www"
  make_peer_files
  bash "$KORVANT_ROOT/tests/peers/make-certs.sh" "$korvant_certs"
  trust_test_authority
  sed -e "s|@PEERS@|$korvant_peers_dir|g" -e "s|@WWW@|$korvant_www|g" -e "s|@CERTS@|$korvant_certs|g" \
    -e "s|@PAC@|$KORVANT_ROOT/tests/peers/pac|g" "$KORVANT_ROOT/tests/peers/nginx.conf.in" >"$korvant_peers_dir/nginx.conf"
  sed -e "s|@PEERS@|$korvant_peers_dir|g" \
    "$KORVANT_ROOT/tests/peers/tinyproxy.conf.in" >"$korvant_peers_dir/tinyproxy.conf"

  rm -f "$korvant_peers_dir/ntlm-proxy.log" "$korvant_peers_dir/nginx-logons.log"
  nginx -c "$korvant_peers_dir/nginx.conf" -p "$korvant_peers_dir" </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)
  tinyproxy -d -c "$korvant_peers_dir/tinyproxy.conf" </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)

  python3 "$KORVANT_ROOT/tests/peers/tls_closer.py" 8748 "$korvant_peers_dir" </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)
  python3 "$KORVANT_ROOT/tests/peers/tls_notify.py" 8751 "$korvant_certs/localhost.pem" "$korvant_certs/localhost.key" \
    "$korvant_peers_dir/tls-notify.log" </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)

  python3 "$KORVANT_ROOT/tests/peers/dirty_proxy.py" 8752 </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)
  python3 "$KORVANT_ROOT/tests/peers/slow_drip.py" 8753 "$korvant_peers_dir/slow-drip.log" </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)

  start_squid
  start_kerberos
  "$(korvant_peer_python)" "$KORVANT_ROOT/tests/peers/ntlm_proxy.py" 8771 "$korvant_proxy_user" "$korvant_proxy_password" \
    "$korvant_peers_dir/ntlm-proxy.log" </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)
  "$(korvant_peer_python)" "$KORVANT_ROOT/tests/peers/ntlm_proxy.py" 8772 "$korvant_proxy_user" "$korvant_proxy_password" \
    "$korvant_peers_dir/ntlm-proxy.log" --always-407 </dev/null >/dev/null 2>&1 &
  KORVANT_PIDS+=($!)

  wait_for_port 8707 nginx
  wait_for_port 8708 tinyproxy
  wait_for_port 8743 "nginx (TLS)"
  wait_for_port 8748 tls_closer.py
  wait_for_port 8751 tls_notify.py
  wait_for_port 8752 dirty_proxy.py
  wait_for_port 8753 slow_drip.py
  wait_for_port 8760 "nginx (proxy scripts)"
  wait_for_port 8770 squid
  wait_for_port 8771 ntlm_proxy.py
  wait_for_port 8772 "ntlm_proxy.py (always 407)"
  wait_for_port 8773 "nginx (logons)"
  wait_for_port 8775 "krb5kdc"
  wait_for_port 8776 "squid (Negotiate)"
  log "peers: nginx on 127.0.0.1:8707 and over TLS on 8743-8747, tinyproxy on 127.0.0.1:8708"
}

start_peers
