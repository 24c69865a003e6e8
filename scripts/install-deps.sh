#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need: apt-get update once, then only what
# is missing. Usage: scripts/install-deps.sh [build|test|run|package]...
set -euo pipefail

# qt6-charts-dev draws the analysis charts; its CMake files need those of libqt6opengl6-dev.
build=(g++ cmake ninja-build pkg-config libsqlite3-dev libsodium-dev libssl-dev libpq-dev libpg-query-dev nlohmann-json3-dev qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n libxlsxwriter-dev)
# The desktop session test reads the windows over the accessibility bus: a D-Bus session, AT-SPI
# and its Python client.
test=(googletest libgtest-dev libgmock-dev xvfb xauth fonts-arphic-uming fonts-noto-cjk postgresql clang-format
      dbus-daemon dbus-bin at-spi2-core python3-gi gir1.2-atspi-2.0)
run=(xvfb xauth xdotool imagemagick fonts-arphic-uming fonts-noto-cjk)
# Building the Debian packages (dpkg-shlibdeps), and what their tests check them and install them
# with: lintian and hardening-check (devscripts) judge them, strace lists the server's system calls
# against the service's filter, HAProxy balances the two servers of the deployment guide.
package=(dpkg-dev)
package_test=(dpkg-dev desktop-file-utils systemd fonts-arphic-ukai qt6-qpa-plugins openssl lintian devscripts strace haproxy)

wanted=()
for set in "${@:-build}"; do
    case "$set" in
        build) wanted+=("${build[@]}") ;;
        test) wanted+=("${build[@]}" "${test[@]}" "${package_test[@]}") ;;
        run) wanted+=("${build[@]}" "${run[@]}") ;;
        package) wanted+=("${build[@]}" "${package[@]}") ;;
        *) echo "unknown package set: $set" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in $(printf '%s\n' "${wanted[@]}" | sort -u); do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
