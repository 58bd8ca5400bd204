#!/usr/bin/env bash
# Writes the test-only certificates of the https tests into FOLDER: a test
# CA (ca.der, which a test trusts in its own Wine prefix for as long as it
# runs), a server certificate for localhost that it issued (trusted.pem,
# trusted.key), and a self-signed one for localhost that nobody trusts
# (untrusted.pem, untrusted.key). The keys are made afresh on every build
# and never leave the build tree.
set -euo pipefail
folder="$1"
mkdir -p "$folder"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat >"$work/x509.cnf" <<'CNF'
[req]
distinguished_name = dn
[dn]
[ca]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
CNF

quiet() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Tarnix Test CA" \
  -keyout "$work/ca.key" -out "$work/ca.pem" -config "$work/x509.cnf" -extensions ca
quiet openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
  -keyout "$work/trusted.key" -out "$work/trusted.csr" -config "$work/x509.cnf"
quiet openssl x509 -req -days 3650 -in "$work/trusted.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -CAcreateserial -out "$work/trusted.pem" -extfile "$work/x509.cnf" -extensions server
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=localhost" \
  -keyout "$work/untrusted.key" -out "$work/untrusted.pem" -config "$work/x509.cnf" -extensions server
quiet openssl x509 -in "$work/ca.pem" -outform DER -out "$work/ca.der"

for f in ca.der trusted.pem trusted.key untrusted.pem untrusted.key; do
  cp "$work/$f" "$folder/$f"
done
