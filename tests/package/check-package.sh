#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as an installer would see it:
# its contents and control fields, the service's settings, the maintainer scripts run on a
# scratch root (DPKG_ROOT, as dpkg --root runs them) with a new and with an existing
# instrument home, and lintian's verdict.
# Usage: check-package.sh BUILD-FOLDER
set -uo pipefail
build="$(cd "$1" && pwd)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
checks=0
check() { # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    checks=$((checks + 1))
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}
contains() { grep -qxF -- "$2" <<<"$1"; }

echo "== building the package"
if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    echo "FAILED: cpack" >&2
    exit 1
fi
debs=("$work"/out/*.deb)
deb="${debs[0]}"
arch="$(dpkg --print-architecture)"
check "one package, named for this machine's architecture" test "${#debs[@]}" -eq 1 -a "${deb##*/}" = "pel_1.0.0_$arch.deb"

echo "== contents"
contents="$(dpkg-deb -c "$deb" | awk '{ print $1 " " $2 " " $6 }')"
for entry in "-rwxr-xr-x root/root ./usr/bin/pel" "-rwxr-xr-x root/root ./usr/bin/pel-tool" \
    "-rwxr-xr-x root/root ./usr/bin/pel-board" "-rw-r--r-- root/root ./usr/share/pel/tableku.tku" \
    "-rw-r--r-- root/root ./usr/share/doc/pel/README.md" "-rw-r--r-- root/root ./usr/share/doc/pel/copyright" \
    "-rw-r--r-- root/root ./usr/share/doc/pel/changelog.gz" "-rw-r--r-- root/root ./lib/systemd/system/pel.service" \
    "-rw-r--r-- root/root ./usr/lib/sysusers.d/pel.conf" "-rw-r--r-- root/root ./lib/udev/rules.d/60-pel-gpio.rules" \
    "-rw-r--r-- root/root ./usr/share/polkit-1/rules.d/60-pel-power-off.rules" \
    "-rw-r--r-- root/root ./etc/default/pel" "-rw-r--r-- root/root ./etc/pel/gpio.conf" \
    "-rw-r--r-- root/root ./usr/share/man/man1/pel.1.gz" "-rw-r--r-- root/root ./usr/share/man/man1/pel-tool.1.gz" \
    "-rw-r--r-- root/root ./usr/share/man/man1/pel-board.1.gz"; do
    check "holds $entry" contains "$contents" "$entry"
done
check "nothing under /var: the instrument's home is the maintainer scripts' to make" \
    bash -c '! grep -q " ./var" <<<"$0"' "$contents"

info="$(dpkg-deb -f "$deb")"
field() { awk -v name="$1:" '$1 == name { sub(/^[^:]*: */, ""); print; exit }' <<<"$info"; }
check "Architecture is $arch" test "$(field Architecture)" = "$arch"
depends="$(field Depends)"
for needed in libgpiod2 libqt6widgets6 qt6-qpa-plugins systemd polkitd "fonts-liberation2 | fonts-dejavu-core"; do
    check "depends on $needed" grep -qF -- "$needed" <<<"$depends"
done
dpkg-deb -e "$deb" "$work/control"
check "the configuration files are conffiles" \
    test "$(sort "$work/control/conffiles")" = "$(printf '/etc/default/pel\n/etc/pel/gpio.conf')"
for script in postinst prerm postrm; do
    check "$script is an executable shell script" test -x "$work/control/$script"
    check "$script passes sh -n" sh -n "$work/control/$script"
done

echo "== the service"
unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"
unit="$unpacked/lib/systemd/system/pel.service"
setting() { grep -E "^$1=" "$unit" | sed "s/^$1=//"; }
check "runs as the user pel" test "$(setting User)" = pel
check "restarts after a crash" test "$(setting Restart)" = on-failure
check "waits before a restart" test -n "$(setting RestartSec)"
check "may set the clock and nothing else" \
    test "$(setting AmbientCapabilities)/$(setting CapabilityBoundingSet)" = "CAP_SYS_TIME/CAP_SYS_TIME"
check "gains no privileges" test "$(setting NoNewPrivileges)" = yes
check "writes only to the instrument's home" \
    test "$(setting ProtectSystem)/$(setting ReadWritePaths)" = "strict//var/lib/pel"
check "does not take away the clock" bash -c '! grep -qE "^(ProtectClock|PrivateDevices)=" "$0"' "$unit"
for group in dialout video input gpio; do
    check "has the group $group" grep -qw "$group" <<<"$(setting SupplementaryGroups)"
done
check "starts the program on the instrument's home" \
    test "$(setting ExecStart)" = '/usr/bin/pel --home /var/lib/pel $PEL_OPTIONS'
check "starts at boot" test "$(setting WantedBy)" = multi-user.target
check "the panel's plugin defaults to linuxfb" grep -qx 'QT_QPA_PLATFORM=linuxfb' "$unpacked/etc/default/pel"
# Offline, the unit as systemd reads it: unknown settings and bad values are reported. The
# copy starts the unpacked program, since verify also wants the command to be there.
mkdir "$work/verify"
sed "s|^ExecStart=/usr/bin/pel |ExecStart=$unpacked/usr/bin/pel |" "$unit" >"$work/verify/pel.service"
check "systemd-analyze verify finds nothing" \
    bash -c '! systemd-analyze verify "$0" 2>&1 | tee /dev/stderr | grep -q .' "$work/verify/pel.service"

echo "== maintainer scripts on a scratch root"
as_root=()
: >"$work/fakeroot.state"
# Without root, one fakeroot session across the scripts and the checks of ownership.
[ "$(id -u)" -eq 0 ] || as_root=(fakeroot -i "$work/fakeroot.state" -s "$work/fakeroot.state")
starter="$unpacked/usr/share/pel/tableku.tku"
# A root that has the package unpacked, as dpkg --root leaves it before configuring.
new_root() {
    mkdir -p "$1/etc"
    cp -a "$unpacked/." "$1/"
}
run_script() { # run_script ROOT SCRIPT ARGS...
    local root="$1" script="$2"
    shift 2
    DPKG_ROOT="$root" DPKG_MAINTSCRIPT_PACKAGE=pel DPKG_MAINTSCRIPT_NAME="$script" "${as_root[@]}" sh "$work/control/$script" "$@" >"$work/script.log" 2>&1 ||
        { cat "$work/script.log" >&2; return 1; }
}

fresh="$work/fresh"
new_root "$fresh"
check "postinst configures a new install" run_script "$fresh" postinst configure
check "the user pel exists, its home /var/lib/pel, no login shell" \
    grep -qE '^pel:x:[0-9]+:[0-9]+:[^:]*:/var/lib/pel:/(usr/)?s?bin/nologin$' "$fresh/etc/passwd"
check "the group gpio exists" grep -q '^gpio:' "$fresh/etc/group"
check "a new home gets the starter table" cmp -s "$starter" "$fresh/var/lib/pel/save/tableku.tku"
uid="$(awk -F: '$1 == "pel" { print $3 }' "$fresh/etc/passwd")"
check "the new home belongs to pel" \
    test "$("${as_root[@]}" stat -c '%u %a' "$fresh/var/lib/pel")" = "$uid 750"
check "the service is enabled" test -L "$fresh/etc/systemd/system/multi-user.target.wants/pel.service"
printf 'operator' >>"$fresh/var/lib/pel/save/tableku.tku"
cp "$fresh/var/lib/pel/save/tableku.tku" "$work/operator.tku"
check "postinst again (an upgrade) succeeds" run_script "$fresh" postinst configure 1.0.0
check "an upgrade keeps the operator's table" cmp -s "$work/operator.tku" "$fresh/var/lib/pel/save/tableku.tku"
check "no scratch home is left beside" bash -c '! ls -d "$0"/var/lib/pel.new-* 2>/dev/null' "$fresh"

existing="$work/existing"
new_root "$existing"
mkdir -p "$existing/var/lib/pel/save"
head -c 3000 /dev/urandom >"$existing/var/lib/pel/save/tableku.tku"
printf '[KS-518]\n' >"$existing/var/lib/pel/pel.ini"
mkdir "$existing/var/lib/pel/kept-empty"
cp -a "$existing/var/lib/pel" "$work/home-before"
check "postinst configures over an existing home" run_script "$existing" postinst configure
check "an existing home stays byte for byte, owners and modes too" \
    bash -c 'diff -r "$0" "$1" && test "$(cd "$0" && find . -printf "%u %m %p\n" | sort)" = "$(cd "$1" && find . -printf "%u %m %p\n" | sort)"' \
    "$work/home-before" "$existing/var/lib/pel"
rm "$existing/var/lib/pel/save/tableku.tku"
check "postinst again with a home that has no table" run_script "$existing" postinst configure
check "a home without a table is not given one" test ! -e "$existing/var/lib/pel/save/tableku.tku"

check "prerm remove" run_script "$existing" prerm remove
check "postrm remove" run_script "$existing" postrm remove
check "postrm purge" run_script "$existing" postrm purge
check "removal and purge keep the home" test -f "$existing/var/lib/pel/pel.ini" -a -d "$existing/var/lib/pel/kept-empty"
check "purge forgets the service" test ! -e "$existing/etc/systemd/system/multi-user.target.wants/pel.service"

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
lintian_status=$?
grep -v '^running with root privileges' "$work/lintian.log"
check "lintian reports no error" test "$lintian_status" -eq 0

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
