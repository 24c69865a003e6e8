#!/usr/bin/env bash
# The core libraries must stay free of Qt: no file of transport/, data/ or server/ may include a
# Qt header, and neither may the Qt-free helper libraries that live beside the windows
# (velmora_<folder>_core; their files are read from the folder's CMakeLists.txt).
# Usage: scripts/check-core-no-qt.sh [repository root]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "${1:-$here/..}"
source "$here/layer-units.sh"

helpers=()
for folder in "${helper_folders[@]}"; do
    while IFS= read -r file; do helpers+=("$file"); done < <(helper_files "$folder")
done
if [ "${#helpers[@]}" -eq 0 ]; then
    echo "no helper library found in ${helper_folders[*]}: has its CMakeLists.txt changed?" >&2
    exit 1
fi
hits=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z0-9]+|Qt[A-Za-z]*/[^>"]*)[>"]' \
    --include='*.h' --include='*.cpp' transport data server "${helpers[@]}" 2>/dev/null || true)
if [ -n "$hits" ]; then
    echo "Qt headers included by the core libraries:" >&2
    echo "$hits" >&2
    exit 1
fi
echo "core libraries are free of Qt"
