#!/usr/bin/env bash
# Feeds the two layer checks known violations, each in a fresh copy of the sources, and expects
# each check to refuse it with a line naming the file. A copy without any passes both, so the
# cases cannot pass by the checks refusing everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

folders=(transport data server widgets session audit masterdata sales reports admin app bench fuzz tests)
mkdir "$scratch/pristine"
(cd "$root" && find "${folders[@]}" \( -name '*.h' -o -name '*.cpp' -o -name CMakeLists.txt \) -print0 |
    xargs -0 cp --parents -t "$scratch/pristine")

failed=0
copy() {
    rm -rf "$scratch/tree"
    cp -r "$scratch/pristine" "$scratch/tree"
    cd "$scratch/tree"
}

# expect CHECK PATTERN DESCRIPTION: the check (layers or no-qt) fails and says PATTERN.
expect() {
    local check=$1 pattern=$2 description=$3 output status=0
    output=$("$root/scripts/check-$check.sh" "$scratch/tree" 2>&1) || status=$?
    if [ "$status" -eq 0 ]; then
        echo "NOT CAUGHT by check-$check: $description" >&2
        failed=$((failed + 1))
    elif ! grep -qF -- "$pattern" <<<"$output"; then
        echo "check-$check refused $description without naming $pattern:" >&2
        echo "$output" >&2
        failed=$((failed + 1))
    else
        echo "caught by check-$check: $description"
    fi
}

copy
for check in layers core-no-qt; do
    if ! "$root/scripts/check-$check.sh" "$scratch/tree" >/dev/null; then
        echo "check-$check refuses the sources as they are" >&2
        exit 1
    fi
done

copy
echo '#include <server/UserStatement.h>' >>app/LoginValues.cpp
expect layers app/LoginValues.cpp "a project header in angle brackets"

copy
echo '#include <UserStatement.h>' >>app/LoginValues.cpp
expect layers app/LoginValues.cpp "a project header in angle brackets without its folder"

copy
mkdir -p data/deep/er
printf '#include "widgets/MessageService.h"\n' >data/deep/er/Nested.cpp
expect layers data/deep/er/Nested.cpp "a file in a subfolder"

copy
mkdir -p server/sub
printf '#include <QString>\n' >server/sub/Nested.h
expect core-no-qt server/sub/Nested.h "a Qt header in a subfolder of the core"

copy
echo '#include <sodium.h>' >>data/Decimal.cpp
expect layers data/Decimal.cpp "a third-party header the layer may not use"

copy
echo '#include <zlib.h>' >>transport/Bytes.cpp
expect layers transport/Bytes.cpp "a third-party header no layer uses yet"

copy
echo '#include <QWidget>' >>sales/LineAmounts.cpp
expect core-no-qt sales/LineAmounts.cpp "a widgets header in the sales helper library"
expect layers sales/LineAmounts.cpp "Qt in the sales helper library"

copy
echo '#include "widgets/MessageService.h"' >>reports/SqlText.h
expect layers reports/SqlText.h "a widgets-layer header in the reports helper library"

copy
echo '#include <QString>' >>audit/ChangeText.cpp
expect core-no-qt audit/ChangeText.cpp "Qt in the audit helper library"

copy
echo '#include "sales/TFrmkp.h"' >>reports/TFrmxsdquery.cpp
expect layers reports/TFrmxsdquery.cpp "a sales header beyond the pickers from reports"

copy
echo '#include "app/TMainForm.h"' >>masterdata/TFrmkh.cpp
expect layers masterdata/TFrmkh.cpp "a window including the program"

copy
echo 'static velmora::Tdm& global() { return *velmora::dm; }' >>masterdata/TFrmkh.cpp
expect layers masterdata/TFrmkh.cpp "*velmora::dm in a window"

copy
echo 'static auto& global() { return ::velmora::dm->ClientDataSetkh; }' >>sales/TFrmkp.cpp
expect layers sales/TFrmkp.cpp "::velmora::dm-> in a window"

copy
sed -i 's/target_link_libraries(velmora_data PUBLIC velmora_transport/& velmora_widgets/' data/CMakeLists.txt
expect layers "velmora_data links velmora_widgets" "a link to a layer above"

copy
sed -i 's/target_link_libraries(velmora_sales_core PUBLIC velmora_data/& Qt6::Widgets/' sales/CMakeLists.txt
expect layers "velmora_sales_core: uses Qt6::Widgets" "Qt linked into the sales helper library"

copy
sed -i 's/target_link_libraries(velmora_reports PUBLIC velmora_session/& velmora_admin/' reports/CMakeLists.txt
expect layers "velmora_reports links velmora_admin" "reports linking admin"

if [ "$failed" -ne 0 ]; then
    echo "$failed violations not caught" >&2
    exit 1
fi
