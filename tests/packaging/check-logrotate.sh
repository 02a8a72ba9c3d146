#!/usr/bin/env bash
# logrotate's dry run (-d) over the package's configuration, with the logs it
# names made in a folder of the test's own: the configuration parses, and
# logrotate would rotate each log and signal the monitors afterwards.
#   check-logrotate.sh CONFIG
set -euo pipefail
if ! command -v logrotate >/dev/null && [ ! -x /usr/sbin/logrotate ]; then
  echo "SKIPPED: logrotate is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi
logrotate=$(command -v logrotate || echo /usr/sbin/logrotate)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/state/ttyUSB2"
for log in records.jsonl records.csv terminal.log; do
  printf 'a line\n' > "$work/state/ttyUSB2/$log"
done
# The same rules, on the test's folder instead of /var/lib/palvex.
sed "s#/var/lib/palvex/#$work/state/#g" "$1" > "$work/palvex"
# Rotation as if a day had passed since the last one.
printf 'logrotate state -- version 2\n' > "$work/status"
for log in records.jsonl records.csv terminal.log; do
  printf '"%s" 2000-1-1-0:0:0\n' "$work/state/ttyUSB2/$log" >> "$work/status"
done
output=$("$logrotate" -d -s "$work/status" "$work/palvex" 2>&1) || { echo "$output"; echo "FAIL: logrotate -d failed"; exit 1; }
echo "$output"
if grep -qi '^error' <<<"$output"; then echo "FAIL: logrotate reports errors"; exit 1; fi
for log in records.jsonl records.csv terminal.log; do
  grep -q "renaming $work/state/ttyUSB2/$log to $work/state/ttyUSB2/$log.1" <<<"$output" \
    || { echo "FAIL: $log would not be rotated"; exit 1; }
done
grep -q 'running postrotate script' <<<"$output" || { echo "FAIL: no postrotate script"; exit 1; }
echo "logrotate -d: the configuration rotates every log"
