#!/usr/bin/env bash
# Installs the Debian packages Palvex needs to build and test, when any is missing.
# Idempotent and non-interactive; runs as root (or through sudo when not root).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  # the antenna-pointing mode's tone
  qt6-multimedia-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  prometheus-cpp-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core
  # packaging: man pages from --help, the .deb's checks, the unit check
  help2man dpkg-dev fakeroot file lintian systemd
  # the test against a real Prometheus server and its rule checker
  prometheus
  # MQTT: the client library, and a broker with its command-line clients for the tests
  libmosquitto-dev mosquitto mosquitto-clients
  # the package's logrotate configuration, checked with logrotate -d
  logrotate
  # GPS positions: libgps for gpsd, and gpsd with gpsfake for the tests
  libgps-dev gpsd gpsd-clients
  # desktop notifications: a private session bus for their test
  dbus-daemon
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive

# The prometheus, mosquitto and gpsd packages start their servers when they are
# installed. The tests run their own on loopback, so no service may start
# during the install (policy-rc.d, see invoke-rc.d(8)), nor at boot.
policy=/usr/sbin/policy-rc.d
services=()
for p in "${missing[@]}"; do
  case "$p" in prometheus|mosquitto|gpsd) services+=("$p");; esac
done
own_policy=false
if [ ${#services[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# written by Palvex install-deps.sh for the length of one install\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  own_policy=true
fi
remove_policy() { if $own_policy; then $sudo rm -f "$policy"; fi; }
trap remove_policy EXIT

$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

if [ ${#services[@]} -gt 0 ] && command -v systemctl >/dev/null; then
  for service in "${services[@]}"; do
    $sudo systemctl disable --quiet "$service.service" 2>/dev/null || true
    # gpsd is also started by its socket when a client connects to port 2947.
    $sudo systemctl disable --quiet "$service.socket" 2>/dev/null || true
  done
fi
