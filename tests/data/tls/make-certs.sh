#!/usr/bin/env bash
# Regenerates the test certificate authority and the loopback server certificate
# that the HTTP fixture server presents. Valid for 20 years; the server
# certificate names localhost, 127.0.0.1 and every host under feeds.localhost (the benchmarks'
# world of many hosts; libcurl resolves names under .localhost to loopback itself; a wildcard
# for *.localhost alone would be refused). The CA key is thrown away: run this
# again to replace all three files together.
set -euo pipefail
cd "$(dirname "$0")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
days=7305

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days "$days" \
  -keyout "$work/ca.key" -out ca.pem -subj "/CN=Norvelle Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"

openssl req -newkey rsa:2048 -nodes -sha256 \
  -keyout server.key -out "$work/server.csr" -subj "/CN=localhost"

cat > "$work/server.ext" <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1,DNS:*.feeds.localhost
EXT

openssl x509 -req -sha256 -days "$days" -in "$work/server.csr" \
  -CA ca.pem -CAkey "$work/ca.key" -CAcreateserial -CAserial "$work/ca.srl" \
  -extfile "$work/server.ext" -out server.pem

chmod 644 server.key
openssl verify -CAfile ca.pem server.pem
