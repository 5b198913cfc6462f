#!/bin/bash
# release.sh -- packs the user's download, BUILD/release/nowtune-<version>.zip: nowtune.dll,
# README.txt (Russian, from docs/user/README.txt) and README-en.txt (from docs/user/README-en.txt)
#   release.sh BUILD    BUILD/win/bin holds the cross-built nowtune.dll (run.sh builds it first)
# The READMEs are kept in UTF-8 with LF line ends; in the archive each gets a UTF-8
# byte-order mark and CR LF line ends. Fixed times, a fixed order and no Unix extras:
# the same module and READMEs give the same archive, byte for byte.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: release.sh BUILD}" && pwd)
dll=$build/win/bin/nowtune.dll
# Each README's name in the archive, then its source; the archive keeps this order.
readmes=(README.txt docs/user/README.txt README-en.txt docs/user/README-en.txt)

[ -f "$dll" ] || { echo "no $dll: build the Windows module first" >&2; exit 1; }

# The version is the one the module reports to the host, so the two never disagree.
version=$(sed -n 's/^const char kPluginName\[\] = "Nowtune v\([0-9.]*\)";$/\1/p' "$here/common/texts.h")
[ -n "$version" ] || { echo "no version found in common/texts.h" >&2; exit 1; }
for ((i = 1; i < ${#readmes[@]}; i += 2)); do
    source=${readmes[i]}
    [ -f "$here/$source" ] || { echo "no $here/$source" >&2; exit 1; }
    grep -q "^Nowtune v$version " "$here/$source" || { echo "$source is not about v$version" >&2; exit 1; }
    # CR LF is added below; a source that has it already would get CR CR LF.
    ! grep -q $'\r' "$here/$source" || { echo "$source has CR line ends; keep it in LF" >&2; exit 1; }
done

out=$build/release
zipfile=$out/nowtune-$version.zip
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
names=(nowtune.dll)
cp "$dll" "$stage/nowtune.dll"
for ((i = 0; i < ${#readmes[@]}; i += 2)); do
    name=${readmes[i]}
    # For Notepad on older Windows: CR LF line ends and a UTF-8 mark, or the Russian is garbled.
    { printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$here/${readmes[i + 1]}"; } >"$stage/$name"
    names+=("$name")
done
# The mode and the time go into the archive: fixed whatever the umask, and read
# in the same time zone as they are written.
chmod 644 "${names[@]/#/$stage/}"
TZ=UTC touch -d '2000-01-01 00:00:00' "${names[@]/#/$stage/}"
mkdir -p "$out"
rm -f "$zipfile"
(cd "$stage" && TZ=UTC zip -q -X -9 "$zipfile" "${names[@]}")

echo "$zipfile"
if command -v unzip >/dev/null; then unzip -l "$zipfile"; else zip -sf "$zipfile"; fi
