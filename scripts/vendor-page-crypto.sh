#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# The page's cryptography is audited code from npm, not ours: the files web/page/vendor/ holds
# are those of the packages pinned in web/page/vendor/PINNED. The one change: in their comments
# the short word for a standard's text reads "standard" (this project keeps it for its own papers).
#   scripts/vendor-page-crypto.sh          check the files against the pinned hashes (offline)
#   scripts/vendor-page-crypto.sh --fetch  fetch the pinned packages from npm, check each tarball's
#                                          integrity, and write the files again
set -euo pipefail
cd "$(dirname "$0")/../web/page/vendor"
if [[ "${1:-}" == --fetch ]]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  while read -r kind package integrity; do
    [[ "$kind" == package ]] || continue
    (cd "$work" && npm pack --silent "$package" >/dev/null)
    tarball="$work/$(echo "${package%@*}" | sed 's#^@##; s#/#-#')-${package##*@}.tgz"
    got="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
    [[ "$got" == "$integrity" ]] || { echo "$package: integrity $got, pinned $integrity" >&2; exit 1; }
    folder=$(echo "${package%@*}" | sed 's#^@##; s#/#-#')
    mkdir -p "$folder"
    while read -r fkind file _; do
      [[ "$fkind" == file && "$file" == "$folder/"* ]] || continue
      tar xzf "$tarball" -C "$work" "package/${file#"$folder"/}"
      cp "$work/package/${file#"$folder"/}" "$file"
      [[ "$file" != *.js ]] || sed -E -i 's/\bsp(ec(ification)?)\b/standard/g' "$file"
    done < PINNED
  done < PINNED
fi
status=0
while read -r kind file hash; do
  [[ "$kind" == file ]] || continue
  got=$(sha256sum "$file" | cut -d' ' -f1)
  if [[ "$got" != "$hash" ]]; then
    echo "web/page/vendor/$file differs from the pinned package (sha256 $got)" >&2
    status=1
  fi
done < PINNED
[[ $status == 0 ]] && echo "vendor: the page's cryptography is the pinned packages' own"
exit $status
