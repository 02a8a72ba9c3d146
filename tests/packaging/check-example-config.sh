#!/usr/bin/env bash
# The examples of the service's configuration do what their comments say:
# each commented setting of headless.conf, and each instance file, is put
# into the unit's command line as systemd would (a $VAR split at blanks,
# ${VAR} whole), run against the simulated modem, and its effect checked.
#   check-example-config.sh PACKAGING_DIR PALVEX_HEADLESS
set -euo pipefail
packaging=$1
headless=$2
unit="$packaging/palvex-headless@.service"
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
[[ "$exec_start" == *'${STATE_DIRECTORY}/${PALVEX_LOG} --interval ${PALVEX_INTERVAL} $PALVEX_MODE $PALVEX_OPTIONS $PALVEX_INSTANCE_OPTIONS /dev/%I' ]] ||
  { echo "FAIL: the unit's command line is not the one this check knows: $exec_start"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the unit's command line with the unit's defaults and one setting
# (NAME=VALUE, the state folder in place of /var/lib/palvex/ttyUSB2);
# the port is the simulated modem.
run() {
  local setting=$1 state=$2
  local PALVEX_LOG=records.jsonl PALVEX_INTERVAL=0.2 PALVEX_MODE=--read-only PALVEX_OPTIONS= PALVEX_INSTANCE_OPTIONS=
  local name=${setting%%=*} value=${setting#*=}
  value=${value//\/var\/lib\/palvex\/ttyUSB2/$state}
  # One instance's metrics port could be taken on this machine: the system picks one.
  value=$(sed -E 's/127\.0\.0\.1:[0-9]+/127.0.0.1:0/' <<<"$value")
  printf -v "$name" '%s' "$value"
  # shellcheck disable=SC2086  # split as systemd splits $VAR
  timeout 60 "$headless" --log "$state/$PALVEX_LOG" --interval "$PALVEX_INTERVAL" $PALVEX_MODE $PALVEX_OPTIONS \
    $PALVEX_INSTANCE_OPTIONS --cycles 2 --quiet SIM:EC25 >/dev/null 2>"$state/stderr"
}

check() {
  local setting=$1
  local state
  state=$(mktemp -d)
  if ! run "$setting" "$state"; then
    fail "$setting: palvex-headless failed: $(cat "$state/stderr")"
  else
    case $setting in
      PALVEX_LOG=*.csv) head -1 "$state/${setting#*=}" | grep -q '^cycle,' || fail "$setting: the log is not CSV" ;;
      PALVEX_LOG=*) head -c1 "$state/${setting#*=}" | grep -q '{' || fail "$setting: the log is not JSON lines" ;;
      *--terminal*) [ -s "$state/terminal.log" ] || fail "$setting: no terminal log in the state folder" ;;
    esac
    echo "ok: $setting"
  fi
  rm -rf "$state"
}

while IFS= read -r line; do
  check "${line#\#}"
done < <(grep -E '^#PALVEX_[A-Z_]+=' "$packaging/headless.conf")
for instance in "$packaging"/headless-*.conf; do
  while IFS= read -r line; do
    check "$line"
  done < <(grep -E '^PALVEX_[A-Z_]+=' "$instance")
done
[ "$failures" -eq 0 ] || exit 1
