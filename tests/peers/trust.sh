# Sourced by start-peers.sh and scripts/demo: trust_test_authority makes the
# build tree's Wine prefix trust the authority in $korvant_certs/ca.pem.

# The prefix trusts the test authority once it is made; a build without
# the tool (or without Wine) simply cannot reach the TLS servers.
trust_test_authority() {
  local tool="$KORVANT_BUILD/bin/trustca.exe" stamp="$KORVANT_BUILD/wineprefix/.korvant-test-ca"
  [ -f "$tool" ] || { log "no $tool: the TLS peers will be untrusted"; return 0; }
  [ -f "$stamp" ] && cmp -s "$stamp" "$korvant_certs/ca.pem" && return 0
  local windows_path="Z:${korvant_certs//\//\\}\\ca.pem"
  if "$KORVANT_ROOT/scripts/wine-run" "$tool" "$windows_path" </dev/null >/dev/null; then
    cp "$korvant_certs/ca.pem" "$stamp"
  else
    log "could not trust the test authority in the Wine prefix"
  fi
}
