#!/usr/bin/env bash
# The layers depend downward only. Each folder may include headers of the folders listed for it
# below and nothing above them; in particular no file outside app/ includes a header of app/, so
# the windows reach the main window only through the session they are handed. The windows also
# use the data module they are handed, never the program's global one.
#
# Every file of a folder counts, in subfolders too, and every include, quoted or in angle
# brackets. The Qt-free helper library beside some windows (velmora_<folder>_core, see
# layer-units.sh) is a layer of its own, named <folder>_core. A third-party header or CMake target
# is allowed only where the table of libraries names it; one the table does not know fails.
# The folders' target_link_libraries are held to the same tables.
#
# Usage: scripts/check-layers.sh [repository root]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "${1:-$here/..}"
source "$here/layer-units.sh"

declare -A allowed=(
    [transport]="transport"
    [data]="data transport"
    [server]="server data transport"
    [widgets]="widgets data transport"
    [session]="session widgets data transport"
    [audit_core]="audit_core data transport"
    [audit]="audit audit_core session widgets data transport"
    [masterdata]="masterdata audit session widgets data transport"
    [sales_core]="sales_core data transport"
    [sales]="sales sales_core audit session widgets data transport"
    [reports_core]="reports_core data transport"
    [reports]="reports reports_core sales session widgets data transport"
    [admin]="admin reports audit session widgets data transport"
    [app]="app masterdata sales reports admin audit session widgets data transport"
    [bench]="bench tests app masterdata sales reports admin audit session widgets server data transport"
    [fuzz]="fuzz server data transport"
)
# Where a layer may use only some headers of a layer below, these are the ones.
declare -A only=(
    [reports:sales]="sales/TFrmkhquery.h sales/TFrmywyquery.h sales/TfrmClbm_Fzlr.h"
    [admin:reports]="reports/ReportControls.h reports/ReportResultForm.h"
)
windows=(widgets session audit masterdata sales reports admin)
# Folders whose headers others may use, but whose own includes are not held to the table.
unchecked=(tests)

# Third-party libraries: name|layers that may use it|its headers|its CMake targets (bash regular
# expressions, separated by spaces).
qt_layers="widgets session audit masterdata sales reports admin app bench"
libraries=(
    "Qt|$qt_layers|^Q[A-Za-z0-9]+$ ^Qt[A-Za-z]*/|^Qt6::"
    "OpenSSL|transport server bench|^openssl/|^OpenSSL::"
    "SQLite|server bench|^sqlite3\.h$|^SQLite::"
    "libpq|server bench|^libpq-fe\.h$|^PostgreSQL::"
    "libpg_query|server|^pg_query\.h$|^\\\$\{PG_QUERY_LIBRARY\}$"
    "nlohmann-json|server audit_core|^nlohmann/|^nlohmann_json::"
    "libsodium|server bench|^sodium\.h$|^PkgConfig::SODIUM$"
    "libxlsxwriter|reports_core|^xlsxwriter\.h$|^PkgConfig::XLSXWRITER$"
)
# The C and POSIX headers every layer may use; C++'s own headers have no extension.
system_headers='^((arpa|netinet|sys)/[a-z_]+|assert|dirent|errno|fcntl|iconv|malloc|netdb|poll|pthread|sched|signal|stdlib|string|strings|termios|time|unistd)\.h$'
# CMake targets every layer may link.
common_targets='^(Threads::Threads|velmora_warnings|velmora_version)$'

# The layer of each helper library's files.
declare -A helper_unit=()
for folder in "${helper_folders[@]}"; do
    while IFS= read -r file; do helper_unit[$file]=${folder}_core; done < <(helper_files "$folder")
done

unit_of() {  # sets unit to the layer of a file, given by its path from the root
    local path=$1
    if [ -n "${helper_unit[$path]+x}" ]; then unit=${helper_unit[$path]}; else unit=${path%%/*}; fi
}

# Where each of the project's headers lives (header names are unique over the tree), for includes
# that name no folder.
declare -A home=()
while IFS= read -r header; do
    home[$(basename "$header")]=${header#./}
done < <(find "${!allowed[@]}" "${unchecked[@]}" -name '*.h' 2>/dev/null)

failures=0
fail() {
    echo "$1" >&2
    failures=$((failures + 1))
}

may_use() {  # may layer $1 use layer $2?
    local unit=$1 target=$2
    [ "$unit" = "$target" ] && return 0
    [[ " ${allowed[$unit]} " == *" $target "* ]] && return 0
    # A layer that may use a folder's windows may use the helpers beneath them.
    [[ "$target" == *_core ]] && [[ " ${allowed[$unit]} " == *" ${target%_core} "* ]] && return 0
    return 1
}

# The third-party library whose headers ($2 = 3) or targets ($2 = 4) match $1: sets library to its
# name and library_users to the layers that may use it, both empty when none does.
declare -A library_memo=()
library_of() {
    local name=$1 column=$2 entry pattern fields
    local key="$column|$name"
    if [ -z "${library_memo[$key]+x}" ]; then
        library_memo[$key]="|"
        for entry in "${libraries[@]}"; do
            IFS='|' read -r -a fields <<<"$entry"
            for pattern in ${fields[$((column - 1))]}; do
                if [[ "$name" =~ $pattern ]]; then
                    library_memo[$key]="${fields[0]}|${fields[1]}"
                    break 2
                fi
            done
        done
    fi
    library=${library_memo[$key]%%|*}
    library_users=${library_memo[$key]#*|}
}

check_library() {  # $1 file:line, $2 layer, $3 header or target, $4 column of the table
    local where=$1 unit=$2 name=$3
    library_of "$name" "$4"
    if [ -z "$library" ]; then
        fail "$where: uses $name, which no layer may use: name its library in the table of $0"
    elif [[ " $library_users " != *" $unit "* ]]; then
        fail "$where: uses $name of $library, which $unit/ may not use"
    fi
}

check_include() {  # $1 file, $2 line number, $3 the included name
    local file=$1 number=$2 name=$3 unit target path first
    unit_of "$file"
    first=${name%%/*}
    if [ "$first" != "$name" ] && [[ -n "${allowed[$first]+x}" || " ${unchecked[*]} " == *" $first "* ]]; then
        path=$name
    else
        path=${home[${name##*/}]:-}
    fi
    if [ -z "$path" ]; then
        [[ "$name" =~ $system_headers ]] && return
        # A header without extension is the C++ library's unless a library claims it (Qt).
        if [[ "$name" != *.* ]]; then
            library_of "$name" 3
            [ -z "$library" ] && return
        fi
        check_library "$file:$number" "$unit" "$name" 3
        return
    fi
    local from=$unit
    unit_of "$path"
    target=$unit
    if ! may_use "$from" "$target"; then
        fail "$file:$number: includes $name of $target/, which $from/ may not use"
        return
    fi
    local narrow=${only[${from%_core}:${target%_core}]:-}
    if [ -n "$narrow" ] && [[ " $narrow " != *" $path "* ]]; then
        fail "$file:$number: includes $name; of ${target%_core}/, ${from%_core}/ may use only $narrow"
    fi
}

while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    number=${rest%%:*}
    name=${rest#*:}
    name=${name#*include}
    name=${name#"${name%%[<\"]*}"}
    name=${name:1}
    name=${name%%[>\"]*}
    check_include "${file#./}" "$number" "$name"
done < <(grep -rnE '^\s*#\s*include\s*[<"]' --include='*.h' --include='*.cpp' "${!allowed[@]}" 2>/dev/null || true)

# The CMake targets each folder's targets link.
declare -A target_unit=()
for folder in "${!allowed[@]}"; do
    [ -f "$folder/CMakeLists.txt" ] || continue
    while read -r command target _; do
        [[ "$command" == add_* ]] || continue
        if [ "$target" = "velmora_${folder}_core" ] && [ -n "${allowed[${folder}_core]+x}" ]; then
            target_unit[$target]=${folder}_core
        else
            target_unit[$target]=$folder
        fi
    done < <(cmake_commands "$folder/CMakeLists.txt")
done
for folder in "${!allowed[@]}"; do
    [ -f "$folder/CMakeLists.txt" ] || continue
    while read -r command target links; do
        case "$command" in
            target_link_libraries) ;;
            velmora_fuzz_target) links=$(sed -nE 's/.*\bLIBS ((\S+ ?)*)/\1/p' <<<"$links" | sed -E 's/\bSOURCES\b.*//') ;;
            *) continue ;;
        esac
        unit=${target_unit[$target]:-$folder}
        for link in $links; do
            case "$link" in PUBLIC | PRIVATE | INTERFACE) continue ;; esac
            [[ "$link" =~ $common_targets ]] && continue
            if [ -n "${target_unit[$link]+x}" ]; then
                may_use "$unit" "${target_unit[$link]}" ||
                    fail "$folder/CMakeLists.txt: $target links $link of ${target_unit[$link]}/, which $unit/ may not use"
            elif [[ "$link" == '${'*'}' ]] && library_of "$link" 4 && [ -z "$library" ]; then
                continue  # a list the function was handed, checked where it is filled
            else
                check_library "$folder/CMakeLists.txt: $target" "$unit" "$link" 4
            fi
        done
    done < <(cmake_commands "$folder/CMakeLists.txt")
done

# The global data module, by any spelling: dm->, *dm, velmora::dm, ::dm. A window's own is a
# reference named dm, which none of these can reach.
global_dm='(^|[^A-Za-z0-9_.>:])dm\s*->|(^|[=(,{!&|?:;]|return)\s*\*\s*(velmora)?(::)?dm\b|(velmora)?::dm\b'
hits=$(grep -rnE "$global_dm" --include='*.h' --include='*.cpp' "${windows[@]}" 2>/dev/null |
    grep -vE '^[^:]+:[0-9]+:\s*//' || true)
if [ -n "$hits" ]; then
    fail "windows reaching for the global data module instead of the one they are handed:"$'\n'"$hits"
fi

if [ "$failures" -ne 0 ]; then
    echo "layer dependencies broken: $failures" >&2
    exit 1
fi
echo "layers depend downward only"
