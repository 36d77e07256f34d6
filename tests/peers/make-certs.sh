#!/usr/bin/env bash
# Makes the test certificates with openssl into DIR, once per build tree:
#   ca.pem                 the test authority (trusted in the Wine prefix only)
#   localhost.{pem,key}    for localhost and 127.0.0.1, issued by it
#   expired.{pem,key}      the same names, valid only in the past
#   wronghost.{pem,key}    for another host name
#   untrusted.{pem,key}    for localhost, issued by an authority nobody trusts
#   make-certs.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
[ -f .complete ] && exit 0
rm -rf ./*

authority() { # name, subject
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$1.key" -out "$1.pem" \
    -days 3650 -subj "$2" -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    2>/dev/null
}
authority ca "/CN=KORVANT Test Authority"
authority otherca "/CN=Unknown Test Authority"

# One issuing set-up for all, so that dates can be set.
mkdir -p db
: >db/index.txt
cat >issue.cnf <<CNF
[ca]
default_ca = test
[test]
dir = $dir/db
database = \$dir/index.txt
new_certs_dir = \$dir
serial = \$dir/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[server]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = \$ENV::KORVANT_SAN
CNF
issue() { # name, issuer, common name, subjectAltName, date options...
  local name=$1 issuer=$2 cn=$3 san=$4
  shift 4
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$name.key" -out "$name.csr" \
    -subj "/CN=$cn" 2>/dev/null
  openssl rand -hex 16 >db/serial
  KORVANT_SAN=$san openssl ca -batch -config issue.cnf -extensions server -cert "$issuer.pem" -keyfile "$issuer.key" \
    -in "$name.csr" -out "$name.pem" -notext "$@" 2>/dev/null
  rm -f "$name.csr"
}
issue localhost ca localhost "DNS:localhost,IP:127.0.0.1" -days 3650
issue expired ca localhost "DNS:localhost,IP:127.0.0.1" -startdate 20200101000000Z -enddate 20200201000000Z
issue wronghost ca wrong.example "DNS:wrong.example" -days 3650
issue untrusted otherca localhost "DNS:localhost,IP:127.0.0.1" -days 3650
rm -rf db ./*.pem.old
touch .complete
