#!/usr/bin/env bash
# The layers depend downward only. Each folder may include headers of the folders listed for it
# below and nothing above them; in particular no file outside app/ includes a header of app/, so
# the windows reach the main window only through the session they are handed. The windows also
# use the data module they are handed, never the program's global one.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
    [transport]="transport"
    [data]="data transport"
    [server]="server data transport"
    [widgets]="widgets data transport"
    [session]="session widgets data transport"
    [audit]="audit session widgets data transport"
    [masterdata]="masterdata audit session widgets data transport"
    [sales]="sales audit session widgets data transport"
    [reports]="reports sales session widgets data transport"
    [admin]="admin reports audit session widgets data transport"
    [app]="app masterdata sales reports admin audit session widgets data transport"
    [bench]="bench app masterdata sales reports admin audit session widgets server data transport"
    [fuzz]="fuzz server data transport"
)
windows=(widgets session audit masterdata sales reports admin)

# Which folder each of the project's headers lives in (header names are unique over the tree).
declare -A home=()
for folder in "${!allowed[@]}"; do
    for header in "$folder"/*.h; do
        [ -e "$header" ] && home[$(basename "$header")]=$folder
    done
done

failures=0
for folder in "${!allowed[@]}"; do
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        while IFS= read -r line; do
            number=${line%%:*}
            name=$(sed -E 's/^[0-9]+:\s*#\s*include\s*"([^"]+)".*/\1/' <<<"$line")
            first=${name%%/*}
            if [ "$first" != "$name" ] && [ -n "${allowed[$first]+x}" ]; then
                target=$first
            else
                target=${home[$(basename "$name")]:-}
            fi
            [ -z "$target" ] && continue
            if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
                echo "$file:$number: includes $name of $target/, which $folder/ may not use" >&2
                failures=$((failures + 1))
            fi
        done < <(grep -nE '^\s*#\s*include\s*"' "$file" || true)
    done
done

hits=$(grep -nE '(^|[^A-Za-z0-9_.>])dm->' $(printf '%s/*.cpp %s/*.h ' "${windows[@]}" "${windows[@]}") 2>/dev/null || true)
if [ -n "$hits" ]; then
    echo "windows reaching for the global data module instead of the one they are handed:" >&2
    echo "$hits" >&2
    failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
    echo "layer dependencies broken: $failures" >&2
    exit 1
fi
echo "layers depend downward only"
