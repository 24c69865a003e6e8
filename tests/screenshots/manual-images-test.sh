#!/usr/bin/env bash
# Every picture the manual shows is in docs/screenshots and is one that
# scripts/manual-screenshots.sh takes from the real windows, so that none of them can drift from
# the program unnoticed.
# Usage: manual-images-test.sh SOURCE_DIR
set -euo pipefail
source_dir="${1:?usage: manual-images-test.sh SOURCE_DIR}"
manual="$source_dir/docs/manual/index.html"
taker="$source_dir/tests/screenshots/ManualScreenshots.cpp"

images=$(grep -o 'src="\.\./screenshots/[^"]*"' "$manual" | sed 's|src="\.\./screenshots/||; s|"$||' | sort -u)
count=$(printf '%s\n' "$images" | grep -c . || true)
if [ "$count" -lt 30 ]; then
    echo "only $count pictures found in $manual: is the pattern still right?" >&2
    exit 1
fi
failed=0
for image in $images; do
    if [ ! -f "$source_dir/docs/screenshots/$image" ]; then
        echo "$image: shown by the manual but missing from docs/screenshots" >&2
        failed=1
    fi
    if ! grep -qF "\"$image\"" "$taker"; then
        echo "$image: shown by the manual but not taken by scripts/manual-screenshots.sh" >&2
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "$count pictures of the manual, each taken by the script"
exit "$failed"
