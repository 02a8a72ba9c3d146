#!/usr/bin/env bash
# systemd-analyze verify on the unit as the package installs it: the
# package unpacked into a root that also has the system's own units, an
# instance of the template checked there. verify exits 0 on unknown keys
# and bad values too, so any message it prints fails the check.
#   check-unit.sh DIR   (DIR holds palvex_*.deb)
set -euo pipefail
if ! command -v systemd-analyze >/dev/null; then
  echo "SKIPPED: systemd-analyze is not installed (Debian package systemd)"
  exit 77
fi
system_units=/lib/systemd/system
[ -d "$system_units" ] || system_units=/usr/lib/systemd/system
if [ ! -f "$system_units/multi-user.target" ]; then
  echo "SKIPPED: no systemd units on this machine to verify against"
  exit 77
fi
shopt -s nullglob
debs=("$1"/palvex_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one palvex_*.deb in $1"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "${debs[0]}" "$root"
# Copies, not links: the root's links would be resolved inside the root.
cp -a "$system_units/." "$root/usr/lib/systemd/system/"
unit="$root/usr/lib/systemd/system/palvex-headless@.service"
[ -f "$unit" ] || { echo "FAIL: the package has no palvex-headless@.service"; exit 1; }

grep -qx 'DynamicUser=yes' "$unit" || { echo "FAIL: the unit does not run as a dynamic user"; exit 1; }
# The service changes nothing in the modem unless the administrator says so.
grep -qx 'Environment=PALVEX_MODE=--read-only' "$unit" && grep -q '^ExecStart=.* \$PALVEX_MODE ' "$unit" ||
  { echo "FAIL: the unit does not run read-only by default"; exit 1; }
# Documentation=man:palvex-headless(1) is looked up in the unpacked package.
messages=$(MANPATH="$root/usr/share/man" systemd-analyze verify --root="$root" "palvex-headless@ttyUSB2.service" 2>&1) || {
  echo "$messages"; echo "FAIL: systemd-analyze verify failed"; exit 1; }
if [ -n "$messages" ]; then echo "$messages"; echo "FAIL: systemd-analyze verify complained"; exit 1; fi
echo "systemd-analyze verify: palvex-headless@ttyUSB2.service is fine"

# The sandbox: systemd's own rating of what the service may reach, from 0
# (locked down) to 10; the unit stays under 2.5.
security=$(systemd-analyze security --offline=true --root="$root" --threshold=25 "palvex-headless@ttyUSB2.service" 2>&1) || {
  echo "$security"; echo "FAIL: the unit's exposure is 2.5 or more"; exit 1; }
grep -E 'Overall exposure level' <<<"$security"
