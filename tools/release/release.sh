#!/bin/bash
# release.sh -- packs the user's download: nowtune.dll and its README in BUILD/release/nowtune-<version>.zip
#   release.sh BUILD    BUILD/win/bin holds the cross-built nowtune.dll (run.sh builds it first)
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: release.sh BUILD}" && pwd)
dll=$build/win/bin/nowtune.dll
readme=$here/docs/USER-README.txt

[ -f "$dll" ] || { echo "no $dll: build the Windows module first" >&2; exit 1; }
[ -f "$readme" ] || { echo "no $readme" >&2; exit 1; }

# The version is the one the module reports to the host, so the two never disagree.
version=$(sed -n 's/^const char kPluginName\[\] = "Nowtune v\([0-9.]*\)";$/\1/p' "$here/common/texts.h")
[ -n "$version" ] || { echo "no version found in common/texts.h" >&2; exit 1; }
grep -q "^Nowtune v$version " "$readme" || { echo "docs/USER-README.txt is not about v$version" >&2; exit 1; }

out=$build/release
zipfile=$out/nowtune-$version.zip
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$dll" "$stage/nowtune.dll"
# For Notepad on older Windows: CR LF line ends and a UTF-8 mark, or the Russian is garbled.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$readme"; } >"$stage/README.txt"
# Fixed times and no Unix extras: the same build gives the same archive.
touch -d '2000-01-01 00:00:00' "$stage/nowtune.dll" "$stage/README.txt"
mkdir -p "$out"
rm -f "$zipfile"
(cd "$stage" && zip -q -X -9 "$zipfile" nowtune.dll README.txt)

echo "$zipfile"
if command -v unzip >/dev/null; then unzip -l "$zipfile"; else zip -sf "$zipfile"; fi
