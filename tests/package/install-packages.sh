#!/usr/bin/env bash
# Installs the two packages on this machine as an administrator would, and checks what they set
# up: the service's user, folder, configuration and database; the installed server answering
# the client's requests; demo data only when asked for; upgrades and removal keeping the
# database and a purge deleting it; the installed client starting. Leaves the machine as it was.
# Usage: install-packages.sh PACKAGE_DIR FULLSTACK_TESTS
set -uo pipefail
here=$(dirname "$0")
. "$here/checks.sh"
dir=$(cd "$1" && pwd) fullstack=$2

skip_unless_machine_is_ours /var/lib/velmora

export DEBIAN_FRONTEND=noninteractive
server_deb=$(ls "$dir"/velmora-server_*.deb)
client_deb=$(ls "$dir"/velmora_*.deb)
CONF=/etc/velmora/velmora-server.conf
DB=/var/lib/velmora/velmora.db
work=$(mktemp -d /tmp/velmora-package-install-XXXXXX)
chmod 755 "$work"

# apt knows a package installed from a file only while it is installed: purge what is there.
purge_installed() {
    for package in "$@"; do
        if dpkg-query -W "$package" >/dev/null 2>&1; then
            apt-get purge -y -qq "$package" >/dev/null 2>&1 || fail "apt-get purge $package"
        fi
    done
}

cleanup() {
    purge_installed velmora-server velmora
    rm -rf "$work"
}
trap cleanup EXIT

# Installs with apt, as the README says; the dependencies must come from Debian itself.
apt_install() {
    if ! apt-get install -y -qq "$@" >"$work/apt.log" 2>&1; then
        apt-get update -qq >/dev/null 2>&1
        apt-get install -y -qq "$@" >"$work/apt.log" 2>&1 || {
            cat "$work/apt.log" >&2
            return 1
        }
    fi
}

as_service() { (cd / && runuser -u velmora -- "$@"); }
users() { as_service velmora-server user list --config "$CONF" 2>/dev/null | cut -f1 | LC_ALL=C sort | tr '\n' ' '; }

echo "== a first installation: no demo data unless asked"
echo "velmora-server velmora-server/demo-data boolean false" | debconf-set-selections
apt_install "$server_deb" || { fail "apt-get install velmora-server"; finish; }
getent passwd velmora >/dev/null || fail "no system user velmora"
expect_equal "$(getent passwd velmora | cut -d: -f7)" /usr/sbin/nologin "velmora's shell"
[ "$(id -u velmora)" -lt 1000 ] || fail "velmora is not a system user"
expect_equal "$(stat -c '%U:%G %a' /var/lib/velmora)" "velmora:velmora 750" "state folder"
expect_equal "$(stat -c '%U:%G %a' "$CONF")" "root:velmora 640" "configuration"
expect_equal "$(stat -c '%U %a' "$DB" 2>/dev/null)" "velmora 640" "database created at installation"
expect_equal "$(users)" "" "users of a database without demo data"
expect_equal "$(stat -c '%U %a' /var/lib/velmora/velmora-key.pem 2>/dev/null)" "velmora 600" "the certificate's key"
fingerprint=$(velmora-server cert show --config "$CONF" 2>&1 | sed -n 's/^SHA-256 fingerprint: //p')
[ -n "$fingerprint" ] || fail "no certificate made at installation: $(velmora-server cert show --config "$CONF" 2>&1)"
expect_contains "$(velmora-server cert show --config "$CONF" 2>&1)" "$(hostname)" "the certificate's names"
[ -L /etc/systemd/system/multi-user.target.wants/velmora-server.service ] || fail "service not enabled"
expect_equal "$(velmora-server --version)" "velmora-server $(dpkg-query -W -f='${Version}' velmora-server | cut -d- -f1)" \
    "installed velmora-server --version"
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /lib/systemd/system/velmora-server.service || fail "systemd-analyze verify"
fi

# Runs a server command in the background as the service's user (setpriv execs the server itself,
# so that the signal reaches it), waits for its "listening on" line, compares it with EXPECTED and
# stops it with SIGTERM as systemd does. WHAT names the case in failures.
serve_and_stop() {
    local what=$1 expected=$2
    shift 2
    : >"$work/serve.out"
    (cd / && exec setpriv --reuid=velmora --regid=velmora --init-groups "$@" \
        >"$work/serve.out" 2>"$work/serve.err") &
    local pid=$!
    for _ in $(seq 100); do grep -q '^listening on ' "$work/serve.out" && break; sleep 0.1; done
    grep -qx "$expected" "$work/serve.out" || fail "$what: $(cat "$work/serve.err")"
    kill -TERM "$pid" 2>/dev/null
    wait "$pid" || fail "$what: no clean stop on SIGTERM"
}

echo "== the service's own start, without systemd: its user, its configuration, a free port"
serve_and_stop "the service's start" 'listening on 127\.0\.0\.1:[0-9]*' \
    velmora-server --config "$CONF" --port 0 --listen 127.0.0.1

echo "== port 211 as the service's user, with the one capability the unit grants and without it"
if (exec 3<>/dev/tcp/127.0.0.1/211) 2>/dev/null; then
    echo "note: port 211 is taken on this machine; not tried"
else
    serve_and_stop "port 211 with CAP_NET_BIND_SERVICE" 'listening on 127\.0\.0\.1:211' \
        --inh-caps=+net_bind_service --ambient-caps=+net_bind_service \
        velmora-server --config "$CONF" --port 211 --listen 127.0.0.1
    (cd / && setpriv --reuid=velmora --regid=velmora --init-groups \
        velmora-server --config "$CONF" --port 211 --listen 127.0.0.1 >/dev/null 2>"$work/err211") &&
        fail "port 211 bound without the capability"
    grep -q 'CAP_NET_BIND_SERVICE' "$work/err211" || fail "no clear message without the capability: $(cat "$work/err211")"
fi

echo "== the installed server answers the client's requests (on a temporary database)"
VELMORA_TEST_SERVER=/usr/bin/velmora-server "$fullstack" --gtest_brief=1 \
    --gtest_filter='TestLogin.*:ServerData.*' || fail "fullstack tests against /usr/bin/velmora-server"

echo "== the installed server requires encryption, with the certificate made at installation"
(cd / && exec setpriv --reuid=velmora --regid=velmora --init-groups \
    velmora-server --config "$CONF" --port 0 --listen 127.0.0.1 >"$work/tls.out" 2>"$work/tls.err") &
tls_pid=$!
for _ in $(seq 100); do grep -q '^listening on ' "$work/tls.out" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/tls.out")
if [ -n "$port" ]; then
    shown=$(openssl s_client -connect "127.0.0.1:$port" </dev/null 2>/dev/null |
        openssl x509 -noout -fingerprint -sha256 2>/dev/null | sed 's/^[^=]*=//')
    expect_equal "$shown" "$fingerprint" "the fingerprint the installed server shows"
    # A plain client is told and closed.
    (exec 3<>"/dev/tcp/127.0.0.1/$port" && printf 'plain' >&3 && timeout 20 cat <&3 >/dev/null) 2>/dev/null
    for _ in $(seq 100); do grep -q 'requires TLS' "$work/tls.err" && break; sleep 0.1; done
    expect_contains "$(cat "$work/tls.err")" "not encrypted, and this server requires TLS" "a plain client"
else
    fail "the installed server did not start with its certificate: $(cat "$work/tls.err")"
fi
kill -TERM "$tls_pid" 2>/dev/null
wait "$tls_pid" || fail "the encrypted server: no clean stop on SIGTERM"

echo "== an upgrade keeps the database"
echo 'secret 1' | as_service velmora-server user add 赵会计 --config "$CONF" >/dev/null 2>&1 ||
    fail "user add as the service's user"
dpkg -i "$server_deb" >"$work/dpkg.log" 2>&1 || fail "reinstalling over itself: $(cat "$work/dpkg.log")"
expect_equal "$(users)" "赵会计 " "users after an upgrade"
expect_equal "$(velmora-server cert show --config "$CONF" 2>&1 | sed -n 's/^SHA-256 fingerprint: //p')" \
    "$fingerprint" "the certificate after an upgrade"

echo "== removal keeps the database, a purge deletes it"
apt-get remove -y -qq velmora-server >/dev/null 2>&1 || fail "apt-get remove"
[ ! -e /usr/bin/velmora-server ] || fail "the program outlived its removal"
[ -s "$DB" ] || fail "removal deleted the database"
[ -e "$CONF" ] || fail "removal deleted the configuration"
apt_install "$server_deb" || fail "installing again after a removal"
expect_equal "$(users)" "赵会计 " "users after removing and installing again"
purge_installed velmora-server
[ ! -e /var/lib/velmora ] || fail "purge kept /var/lib/velmora"
[ ! -e "$CONF" ] || fail "purge kept the configuration"

echo "== an upgrade from the previous version keeps the database and the administrator's configuration"
# The previous version: this package with a lower version and a shipped configuration that differs
# from this one's, so that dpkg meets a configuration changed on both sides.
version=$(dpkg-deb -f "$server_deb" Version)
previous_version=${version%-*}~previous-1
dpkg-deb -R "$server_deb" "$work/previous"
sed -i "s/^Version: .*/Version: $previous_version/" "$work/previous/DEBIAN/control"
sed -i '/^# max-objects = /d' "$work/previous/etc/velmora/velmora-server.conf"
(cd "$work/previous" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | xargs -0 md5sum >DEBIAN/md5sums)
dpkg-deb -b --root-owner-group "$work/previous" "$work/velmora-server_previous.deb" >/dev/null ||
    fail "building the previous version"
echo "velmora-server velmora-server/demo-data boolean false" | debconf-set-selections
apt_install "$work/velmora-server_previous.deb" || fail "installing the previous version"
echo 'secret 1' | as_service velmora-server user add 孙会计 --config "$CONF" >/dev/null 2>&1 || fail "user add"
sed -i 's/^# max-connections = 100$/max-connections = 50  # a small office/' "$CONF"
# As the deployment guide says for an unattended upgrade: keep the administrator's file, put the
# new one beside it. No terminal and a closed input: a prompt would fail it, never hang it.
timeout 600 apt-get install -y -qq -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold \
    "$server_deb" </dev/null >"$work/upgrade.log" 2>&1 || fail "the upgrade: $(tail -n 20 "$work/upgrade.log")"
expect_equal "$(dpkg-query -W -f='${Version}' velmora-server)" "$version" "the version after the upgrade"
expect_equal "$(users)" "孙会计 " "users after the upgrade"
grep -qx 'max-connections = 50  # a small office' "$CONF" || fail "the upgrade lost the administrator's change"
grep -q '^# max-objects = ' "$CONF.dpkg-dist" 2>/dev/null || fail "the new configuration is not beside it"
expect_equal "$(stat -c '%U:%G %a' "$CONF")" "root:velmora 640" "the configuration after the upgrade"
as_service velmora-server --config "$CONF" --init-only || fail "the kept configuration is refused"
purge_installed velmora-server
[ ! -e "$CONF.dpkg-dist" ] || fail "purge kept $CONF.dpkg-dist"

echo "== demo data when the administrator asks"
echo "velmora-server velmora-server/demo-data boolean true" | debconf-set-selections
apt_install "$server_deb" || fail "apt-get install velmora-server with demo data"
expect_equal "$(users)" "李出纳 王会计 管理员 " "users of the demo database"
purge_installed velmora-server

echo "== the client"
apt_install "$client_deb" || { fail "apt-get install velmora"; finish; }
missing=$(ldd /usr/bin/velmora | grep 'not found')
[ -z "$missing" ] || fail "libraries missing: $missing"
desktop-file-validate /usr/share/applications/velmora.desktop || fail "installed desktop entry"
[ -s /usr/share/icons/hicolor/48x48/apps/velmora.png ] || fail "no installed icon"
[ -s /usr/share/qt6/translations/qtbase_zh_CN.qm ] || fail "Qt's Chinese translations missing"
for font in fonts-arphic-uming fonts-arphic-ukai fonts-noto-cjk; do
    dpkg-query -W -f='${Status}' "$font" | grep -q 'install ok installed' || fail "$font not installed"
done
# It starts and waits at its login until it is ended.
QT_QPA_PLATFORM=offscreen timeout 20 velmora >"$work/client.log" 2>&1
expect_equal "$?" 124 "the installed client running until it was ended ($(head -c 300 "$work/client.log"))"
purge_installed velmora
[ ! -e /usr/share/applications/velmora.desktop ] || fail "the desktop entry outlived the purge"

finish
