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
