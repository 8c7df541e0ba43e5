#!/usr/bin/env bash
# Signs one Windows file in place with an Authenticode signature (SHA-256 digests), the build's
# step after linking a shipped file when the build has a certificate.
#
#   sign_file.sh FILE CERT.p12 PASSWORD_FILE TIMESTAMP_URL
# PASSWORD_FILE: a file whose first line is the certificate's password; when empty, the password
# comes from the environment variable KIT_SIGNING_PASSWORD (a certificate without a password when
# that is unset too). The password never appears on a command line, where other users of the
# machine could read it. TIMESTAMP_URL: an RFC 3161 server that countersigns the signature with
# its own time; when empty the signature claims the source's date (SOURCE_DATE_EPOCH) as its
# signing time, so that one commit signed with one certificate gives the same bytes each time.
set -euo pipefail
file=${1:?usage: sign_file.sh FILE CERT.p12 PASSWORD_FILE TIMESTAMP_URL}
cert=$2
password_file=$3
timestamp_url=$4
tool=${KIT_OSSLSIGNCODE:-osslsigncode}

args=(sign -pkcs12 "$cert" -h sha256 -n "Veltmark : Orvandel")
if [ -n "$timestamp_url" ]; then
    args+=(-ts "$timestamp_url")
else
    args+=(-time "${SOURCE_DATE_EPOCH:?SOURCE_DATE_EPOCH is not set}")
fi
signed="$file.signed"
rm -f "$signed"
if [ -n "$password_file" ]; then
    args+=(-readpass "$password_file")
    sign() { "$tool" "${args[@]}" -in "$file" -out "$signed"; }
elif [ -n "${KIT_SIGNING_PASSWORD+set}" ]; then
    args+=(-readpass /dev/stdin)
    sign() { printf '%s\n' "$KIT_SIGNING_PASSWORD" | "$tool" "${args[@]}" -in "$file" -out "$signed"; }
else
    sign() { "$tool" "${args[@]}" -in "$file" -out "$signed"; }
fi
if ! log=$(sign 2>&1); then
    rm -f "$signed"
    echo "signing $file failed:" >&2
    echo "$log" >&2
    exit 1
fi
mv -f "$signed" "$file"
