#!/usr/bin/env bash
# The core libraries must stay free of Qt: no file of transport/, data/ or server/ may include a
# Qt header.
set -euo pipefail
cd "$(dirname "$0")/.."
hits=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/[^>"]*)[>"]' transport data server 2>/dev/null || true)
if [ -n "$hits" ]; then
    echo "Qt headers included by the core libraries:" >&2
    echo "$hits" >&2
    exit 1
fi
echo "core libraries are free of Qt"
