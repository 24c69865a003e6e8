#!/usr/bin/env bash
# The core libraries must stay free of Qt: no file of transport/, data/ or server/ may include a
# Qt header, and neither may the Qt-free helper libraries that live beside the windows.
set -euo pipefail
cd "$(dirname "$0")/.."
# velmora_audit_core: the audit trail's readable rows.
helpers=(audit/AuditRows.* audit/AuditTime.* audit/AuditWords.* audit/ChangeText.* audit/OrderLineNames.*)
hits=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/[^>"]*)[>"]' transport data server "${helpers[@]}" \
    2>/dev/null || true)
if [ -n "$hits" ]; then
    echo "Qt headers included by the core libraries:" >&2
    echo "$hits" >&2
    exit 1
fi
echo "core libraries are free of Qt"
