#!/usr/bin/env bash
# The release side of the updater: makes the release key pair and signs an update manifest.
#
#   scripts/sign-update.sh keygen SECRET-KEY-FILE
#       Writes a new Ed25519 secret key (PEM, readable by its owner only) and prints the public key
#       as the hex text that src/update/ReleaseKey.h holds.
#   scripts/sign-update.sh pubkey SECRET-KEY-FILE
#       Prints the public key of an existing secret key, as keygen does.
#   scripts/sign-update.sh sign SECRET-KEY-FILE MANIFEST FILES-FOLDER
#       For every section of MANIFEST whose "Name" is a file in FILES-FOLDER, sets "Bytes" (its exact
#       size) and "SHA256" (its hash) in place, then writes the detached signature MANIFEST.sig
#       (base64 of the 64 signature bytes). Publish both beside each other.
# Needs openssl (3.0 or later), iconv and sha256sum.
set -euo pipefail

usage() { sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

public_key_hex() {
  openssl pkey -in "$1" -pubout -outform DER | tail -c 32 | od -An -v -tx1 | tr -d ' \n'
  echo
}

# Prints "NUMBER<TAB>Name" for every section that has a Name, sections counted from 1.
section_names() {
  LC_ALL=C awk '{ sub(/\r$/, "") }
    /^[ \t]*\[/ { section++ }
    section > 0 && /^[ \t]*Name[ \t]*=/ { value = $0; sub(/^[^=]*=[ \t]*/, "", value); sub(/[ \t]+$/, "", value); print section "\t" value }' "$1"
}

sign() {
  local key=$1 manifest=$2 files=$3 table
  table=$(mktemp)
  trap 'rm -f "$table"' RETURN
  while IFS=$'\t' read -r number name; do
    # The manifest is GBK; the release files carry the same names in the file system's UTF-8.
    local path="$files/$(printf '%s' "$name" | iconv -f GBK -t UTF-8)"
    [[ -f "$path" ]] || { echo "sign-update: no file for \"$name\" in $files (left unsigned)" >&2; continue; }
    printf '%s\t%s\t%s\n' "$number" "$(stat -c %s "$path")" "$(sha256sum "$path" | cut -d' ' -f1)" >> "$table"
  done < <(section_names "$manifest")
  # Old Bytes and SHA256 lines go; the new ones end their section, in the file's own line ending.
  LC_ALL=C awk -v table="$table" '
    BEGIN { while ((getline row < table) > 0) { split(row, f, "\t"); bytes[f[1]] = f[2]; hash[f[1]] = f[3] } }
    function close_section() { if (section in bytes) printf "Bytes=%s%s\nSHA256=%s%s\n", bytes[section], cr, hash[section], cr }
    { line = $0; cr = (line ~ /\r$/) ? "\r" : cr; bare = line; sub(/\r$/, "", bare) }
    bare ~ /^[ \t]*\[/ { close_section(); section++; print line; next }
    bare ~ /^[ \t]*(Bytes|SHA256)[ \t]*=/ { next }
    { print line }
    END { close_section() }' "$manifest" > "$manifest.new"
  mv "$manifest.new" "$manifest"
  openssl pkeyutl -sign -inkey "$key" -rawin -in "$manifest" | base64 -w0 > "$manifest.sig"
  echo >> "$manifest.sig"
}

case "${1:-}" in
  keygen)
    [[ $# -eq 2 ]] || usage
    [[ -e "$2" ]] && { echo "sign-update: $2 exists; a release key is never overwritten" >&2; exit 1; }
    (umask 077 && openssl genpkey -algorithm ed25519 -out "$2")
    public_key_hex "$2" ;;
  pubkey)
    [[ $# -eq 2 ]] || usage
    public_key_hex "$2" ;;
  sign)
    [[ $# -eq 4 ]] || usage
    sign "$2" "$3" "$4" ;;
  *) usage ;;
esac
