#!/usr/bin/env bash
# Every binary carries the version resource with the maker's name, and the
# signing step the build runs (cmake/Sign.cmake with osslsigncode) gives a
# signature that osslsigncode verifies against a throw-away authority made
# here by openssl; signed twice at one SOURCE_DATE_EPOCH, the bytes agree.
#   signing.sh BIN_DIR
set -euo pipefail
bin=$1
source "$KORVANT_ROOT/tests/http/fetch-checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A version resource's strings are UTF-16: each character followed by a zero byte.
utf16() { printf '%s' "$1" | sed 's/\(.\)/\1\\x00/g; s/\./\\./g'; }
for program in Setup.exe SetupHttps.exe fetch.exe unpack.exe trustca.exe ZipEng179.dll; do
  for text in "Tolvek BVBA" "KORVANT Setup" "7.0.0.0"; do
    if ! LC_ALL=C grep -qaP "$(utf16 "$text")" "$bin/$program"; then fail "$program has no \"$text\" in its version resource"; fi
  done
done
[ "$failures" -eq 0 ] && echo "ok   every binary names Tolvek BVBA, KORVANT Setup and 7.0.0.0"

# The authority and a code-signing certificate it issued (RSA: its
# signatures are deterministic).
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throw-away test authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/O=Tolvek BVBA/CN=Tolvek BVBA" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' >ext.cnf
openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out sign.pem -days 2 -extfile ext.cnf 2>/dev/null

sign() { # file
  SOURCE_DATE_EPOCH=1765324800 cmake -DOSSLSIGNCODE="$(command -v osslsigncode)" \
    "-DOPTIONS=-certs;$work/sign.pem;-key;$work/sign.key;-h;sha256;-n;KORVANT Setup" -DFILE="$1" \
    -P "$KORVANT_ROOT/cmake/Sign.cmake"
}
for program in Setup.exe fetch.exe ZipEng179.dll; do
  cp "$bin/$program" "a-$program"
  cp "$bin/$program" "b-$program"
  sign "a-$program"
  sign "b-$program"
  if ! osslsigncode verify -CAfile ca.pem -in "a-$program" >verify.log 2>&1; then
    fail "$program: osslsigncode verify: $(tail -n 5 verify.log)"
  elif ! grep -q "Signature verification: ok" verify.log; then
    fail "$program: $(tail -n 5 verify.log)"
  elif ! cmp -s "a-$program" "b-$program"; then
    fail "$program: two signings at one time differ"
  else
    echo "ok   $program signed, verified against the test authority, and signed alike twice"
  fi
done
# Another authority's signature does not pass.
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj "/CN=Other" 2>/dev/null
if osslsigncode verify -CAfile other.pem -in a-fetch.exe >/dev/null 2>&1; then
  fail "a signature verified against an authority that did not issue it"
fi
[ "$failures" -eq 0 ]
