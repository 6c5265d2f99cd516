#!/usr/bin/env bash
# Makes the test authority and the server certificates the HTTPS tests use,
# into the folder given. Nothing outside that folder is touched.
#   usage: make_test_certs.sh OUT-DIR
# OUT-DIR/ca.pem, ca.der        the test authority that the test prefix trusts
#         good.pem/.key         localhost, valid now, issued by the test authority
#         expired.pem/.key      localhost, its validity ended in 2020
#         wrongname.pem/.key    "wrong.invalid", valid now, issued by the test authority
#         untrusted.pem/.key    localhost, valid now, issued by an authority nobody
#                               trusts; the .pem carries that authority too, as a
#                               server sends its chain
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

authority() {  # authority NAME SUBJECT
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$1.key" -out "$1.pem" \
    -subj "$2" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}

# server NAME DNS-NAME AUTHORITY START END (YYYYMMDDHHMMSSZ)
server() {
  local name=$1 dns=$2 ca=$3 start=$4 end=$5
  openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$work/$name.csr" \
    -subj "/CN=$dns" 2>/dev/null
  mkdir -p "$work/$ca/newcerts"
  : >"$work/$ca/index.txt"
  [ -f "$work/$ca/serial" ] || openssl rand -hex 8 >"$work/$ca/serial"
  cat >"$work/$name.cnf" <<CNF
[ca]
default_ca = test
[test]
dir = $work/$ca
database = \$dir/index.txt
new_certs_dir = \$dir/newcerts
serial = \$dir/serial
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
[anything]
commonName = supplied
[server]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:$dns
CNF
  openssl ca -batch -config "$work/$name.cnf" -extensions server -cert "$ca.pem" \
    -keyfile "$ca.key" -startdate "$start" -enddate "$end" -in "$work/$name.csr" \
    -out "$name.pem" -notext 2>/dev/null
}

now=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
later=$(date -u -d '+3650 days' +%Y%m%d%H%M%SZ)
authority ca "/CN=Marrowfin Test Authority"
authority stranger "/CN=Marrowfin Untrusted Test Authority"
server good localhost ca "$now" "$later"
server expired localhost ca 20190101000000Z 20200101000000Z
server wrongname wrong.invalid ca "$now" "$later"
server untrusted localhost stranger "$now" "$later"
cat stranger.pem >>untrusted.pem
openssl x509 -in ca.pem -outform der -out ca.der
rm -f ca.key stranger.key stranger.pem
