# shellcheck shell=bash
# Helpers of the package tests: each check prints what failed and counts it; finish reports the
# count and sets the exit status.
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_contains TEXT PART WHAT
expect_contains() {
    case "$1" in
        *"$2"*) ;;
        *) fail "$3: '$2' missing in: ${1:0:300}" ;;
    esac
}

expect_equal() {
    [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures checks failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

# Exits with 77 (skipped) unless this runs as root on a machine where the packages are not
# installed and none of PATHS exists: a test that installs and purges them must not take an
# administrator's installation or files with it.
skip_unless_machine_is_ours() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIPPED: installing packages needs root (CI runs as root)"
        exit 77
    fi
    for package in velmora-server velmora; do
        if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
            echo "SKIPPED: $package is already installed here; this test would remove it"
            exit 77
        fi
    done
    for path in "$@"; do
        if [ -e "$path" ]; then
            echo "SKIPPED: $path exists; this test would delete it"
            exit 77
        fi
    done
}
