#!/usr/bin/env bash
# A Windows binary carries the version resource that Explorer shows in its
# properties: product name, file and product version, description,
# copyright and original file name.
# Usage: check_version_resource.sh BINARY VERSION DESCRIPTION
set -euo pipefail
binary=$1 version=$2 description=$3
name=${binary##*/}
resource=$(i686-w64-mingw32-windres --input "$binary" --input-format coff --output-format rc 2>&1) ||
    { echo "FAIL: windres cannot read the resources of $name: $resource" >&2; exit 1; }
IFS=. read -r major minor patch <<<"$version"
failures=0
for expected in "VERSIONINFO" "FILEVERSION $major, $minor, $patch, 0" "PRODUCTVERSION $major, $minor, $patch, 0" \
    "VALUE \"ProductName\", \"Parlino\"" "VALUE \"FileVersion\", \"$version\"" \
    "VALUE \"ProductVersion\", \"$version\"" "VALUE \"FileDescription\", \"$description\"" \
    "VALUE \"LegalCopyright\", \"Copyright (c) 2026 The Parlino authors. MIT License.\"" \
    "VALUE \"OriginalFilename\", \"$name\""; do
    if ! tr -s ' \t' ' ' <<<"$resource" | grep -qF -- "$expected"; then
        echo "FAIL: $name: no $expected in its version resource" >&2
        failures=$((failures + 1))
    fi
done
if ((failures > 0)); then
    echo "$resource" >&2
    exit 1
fi
echo "$name: version resource $version, \"$description\""
