#!/usr/bin/env bash
# Checks the contents and metadata of the two packages as dpkg sees them: files, dependencies,
# maintainer scripts, the service's unit and its system-call filter, the desktop entry and its
# icons, the versions, lintian's judgement and the binaries' hardening.
# Usage: check-packages.sh PACKAGE_DIR VERSION BUILT_SERVER FULLSTACK_TESTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/checks.sh"
dir=$1 version=$2 built_server=$3 fullstack=$4

server_deb=$(ls "$dir"/velmora-server_*.deb)
client_deb=$(ls "$dir"/velmora_*.deb)
work=$(mktemp -d /tmp/velmora-package-check-XXXXXX)
trap 'rm -rf "$work"' EXIT

field() { dpkg-deb -f "$1" "$2"; }

# Versions: the one of CMake everywhere.
expect_equal "$(field "$server_deb" Version)" "$version-1" "server package version"
expect_equal "$(field "$client_deb" Version)" "$version-1" "client package version"
expect_equal "$("$built_server" --version)" "velmora-server $version" "velmora-server --version"
expect_equal "$(field "$server_deb" Package)" velmora-server "server package name"
expect_equal "$(field "$client_deb" Package)" velmora "client package name"

# The server package.
files=$(dpkg-deb -c "$server_deb" | awk '{print $NF}')
for f in ./usr/bin/velmora-server ./lib/systemd/system/velmora-server.service \
    ./etc/velmora/velmora-server.conf ./usr/share/man/man8/velmora-server.8.gz \
    ./usr/share/doc/velmora-server/deploy.md ./usr/share/doc/velmora-server/copyright \
    ./usr/share/doc/velmora-server/changelog.Debian.gz; do
    grep -qxF "$f" <<<"$files" || fail "server package lacks $f"
done
depends=$(field "$server_deb" Depends)
for d in libsqlite3-0 libsodium23 libpq5 debconf passwd init-system-helpers; do
    expect_contains "$depends" "$d" "server package dependencies"
done
dpkg-deb -e "$server_deb" "$work/control"
expect_equal "$(cat "$work/control/conffiles")" /etc/velmora/velmora-server.conf "server conffiles"
for script in config postinst prerm postrm; do
    [ -x "$work/control/$script" ] || fail "server package: $script missing or not executable"
    sh -n "$work/control/$script" || fail "server package: $script is not valid sh"
done
grep -q '^Template: velmora-server/demo-data$' "$work/control/templates" || fail "no demo-data question"
grep -q '^Default: false$' "$work/control/templates" || fail "demo data must be off unless asked for"

dpkg-deb -x "$server_deb" "$work/server"
installed_server=$work/server/usr/bin/velmora-server
expect_equal "$("$installed_server" --version)" "velmora-server $version" "packaged velmora-server --version"
unit=$(cat "$work/server/lib/systemd/system/velmora-server.service")
for line in "User=velmora" "Restart=on-failure" "NoNewPrivileges=yes" "ProtectSystem=strict" \
    "StateDirectory=velmora" "PrivateTmp=yes" "AmbientCapabilities=CAP_NET_BIND_SERVICE" \
    "ExecStart=/usr/bin/velmora-server --config /etc/velmora/velmora-server.conf" \
    "WantedBy=multi-user.target"; do
    grep -qxF "$line" <<<"$unit" || fail "unit lacks $line"
done
for line in "SystemCallFilter=@system-service" "SystemCallFilter=~@privileged @resources" \
    "SystemCallArchitectures=native" "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX" \
    "MemoryDenyWriteExecute=yes" "ProtectKernelTunables=yes" "ProtectKernelModules=yes" "LockPersonality=yes" \
    "RestrictNamespaces=yes"; do
    grep -qxF "$line" <<<"$unit" || fail "unit lacks $line"
done
# The packaged program stands in for /usr/bin/velmora-server, which need not exist here.
sed "s|/usr/bin/velmora-server|$installed_server|" <<<"$unit" >"$work/velmora-server.service"
systemd-analyze verify --man=no "$work/velmora-server.service" || fail "systemd-analyze verify"
exposure=$(systemd-analyze security --offline=true "$work/velmora-server.service" 2>/dev/null |
    sed -n 's/^→ Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }' ||
    fail "systemd-analyze security rates the unit '$exposure', above 2.0"

echo "== the server's system calls in the login and data tests, against the unit's filter"
"$here/syscalls.sh" allowed "$work/velmora-server.service" >"$work/allowed"
mkdir -p "$work/calls"
printf '#!/bin/sh\nexec "%s" trace "%s" "%s" "$@"\n' "$here/syscalls.sh" "$installed_server" "$work/calls" \
    >"$work/traced-server"
chmod +x "$work/traced-server"
VELMORA_TEST_SERVER=$work/traced-server "$fullstack" --gtest_brief=1 \
    --gtest_filter='TestLogin.*:ServerData.*:ServerProgram.TheDurabilityAskedForIsTheOneServed' >"$work/traced.log" 2>&1 ||
    fail "fullstack tests against the traced server: $(tail -n 20 "$work/traced.log")"
# strace -c: the name ends each line of the table.
cat "$work"/calls/calls.* 2>/dev/null | awk '$NF ~ /^[a-z_0-9]+$/ && $NF != "total" && $NF != "syscall" { print $NF }' |
    sort -u >"$work/made"
[ -s "$work/made" ] || fail "no system calls were traced"
# SQLite gives a new journal file to the database's owner (fchown) only when it runs as root, as
# the tests here do and the service never does.
[ "$(id -u)" -eq 0 ] && echo fchown >>"$work/allowed"
refused=$(comm -23 "$work/made" <(sort -u "$work/allowed") | tr '\n' ' ')
[ -z "$refused" ] || fail "the unit's filter refuses system calls the server makes: $refused"
echo "$(wc -l <"$work/made") system calls made, all allowed by the unit's filter"
# The shipped configuration is one the program accepts, and it names the packaged database.
conf=$work/server/etc/velmora/velmora-server.conf
grep -qxF "db = /var/lib/velmora/velmora.db" "$conf" || fail "configuration does not name /var/lib/velmora/velmora.db"
# It asks for encryption with the certificate the installation makes.
grep -qxF "tls = require" "$conf" || fail "configuration does not ask for encryption"
"$installed_server" cert create --cert "$work/cert.pem" --key "$work/key.pem" >/dev/null || fail "cert create"
"$installed_server" --config "$conf" --db "$work/check.db" --tls-cert "$work/cert.pem" --tls-key "$work/key.pem" \
    --init-only || fail "the shipped configuration is refused"
[ -s "$work/check.db" ] || fail "--init-only created no database"
# In the journal (standard error is the stream systemd names) a log line has no time stamp of
# its own: the journal stamps it.
: >"$work/journal"
JOURNAL_STREAM=$(stat -c '%d:%i' "$work/journal") "$installed_server" --db "$work/journal.db" --init-only \
    2>>"$work/journal"
expect_equal "$(cat "$work/journal")" "created database $work/journal.db" "a log line in the journal"
"$installed_server" --db "$work/stamped.db" --init-only 2>"$work/stamped"
grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} created database " "$work/stamped" ||
    fail "a log line outside the journal has no time stamp: $(cat "$work/stamped")"
man_page=$(gzip -dc "$work/server/usr/share/man/man8/velmora-server.8.gz")
expect_contains "$man_page" ".TH VELMORA-SERVER 8 \"\" \"Velmora $version\"" "man page header"
expect_contains "$man_page" "/etc/velmora/velmora-server.conf" "man page"
# Every option of the program is in the man page, and every one a service sets in its
# configuration file (the one-off ones aside).
for option in $("$installed_server" --help | grep -o '^  --[a-z-]*' | sed 's/^  --//'); do
    grep -qF -- "\\-\\-${option//-/\\-}" <<<"$man_page" || fail "the man page lacks --$option"
    case "$option" in
        help | version | config | init-only | init-demo) ;;
        *) grep -qE "^#? ?$option( = |$)" "$conf" || fail "the configuration file lacks $option" ;;  # a switch stands bare
    esac
done

# The client package.
files=$(dpkg-deb -c "$client_deb" | awk '{print $NF}')
for f in ./usr/bin/velmora ./usr/share/applications/velmora.desktop ./usr/share/man/man1/velmora.1.gz \
    ./usr/share/doc/velmora/copyright ./usr/share/doc/velmora/changelog.Debian.gz; do
    grep -qxF "$f" <<<"$files" || fail "client package lacks $f"
done
depends=$(field "$client_deb" Depends)
for d in libqt6widgets6 qt6-qpa-plugins qt6-translations-l10n fonts-arphic-uming fonts-arphic-ukai fonts-noto-cjk; do
    expect_contains "$depends" "$d" "client package dependencies"
done
dpkg-deb -x "$client_deb" "$work/client"
entry=$work/client/usr/share/applications/velmora.desktop
if command -v desktop-file-validate >/dev/null; then
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
else
    fail "desktop-file-validate not found (package desktop-file-utils)"
fi
grep -qx 'Categories=Office;.*' "$entry" || fail "the desktop entry is not under Office"
grep -qx 'Exec=velmora' "$entry" || fail "the desktop entry does not start velmora"
grep -qx 'Icon=velmora' "$entry" || fail "the desktop entry's icon is not velmora"
# Each icon is a PNG of the size its folder says.
for size in 16 22 24 32 48 64 128 256; do
    png=$work/client/usr/share/icons/hicolor/${size}x${size}/apps/velmora.png
    if [ ! -s "$png" ]; then
        fail "no ${size}x${size} icon"
        continue
    fi
    header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    expect_equal "${header:0:16}" 89504e470d0a1a0a "${size}x${size} icon is a PNG"
    expect_equal "$(printf '%d x %d' "0x${header:32:8}" "0x${header:40:8}")" "$size x $size" "icon size"
done

echo "== hardening of both programs"
# What Debian 12's dpkg-buildflags gives; branch protection needs libraries built with it too.
hardening-check --nocfprotection "$installed_server" "$work/client/usr/bin/velmora" >"$work/hardening" 2>&1 ||
    fail "hardening-check: $(grep -v ': yes' "$work/hardening")"
cat "$work/hardening"

echo "== lintian"
# Errors and warnings fail; pedantic and informational tags are shown.
for deb in "$server_deb" "$client_deb"; do
    lintian --pedantic --info --no-tag-display-limit "$deb" >"$work/lintian" 2>&1
    cat "$work/lintian"
    if grep -qE '^(E|W): ' "$work/lintian"; then
        fail "lintian on $(basename "$deb"): $(grep -E '^(E|W): ' "$work/lintian" | tr '\n' ';')"
    fi
done

finish
