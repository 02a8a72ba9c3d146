#!/usr/bin/env bash
# Installs the Debian packages Palvex needs to build and test, when any is missing.
# Idempotent and non-interactive; runs as root (or through sudo when not root).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  prometheus-cpp-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core
  # packaging: man pages from --help, the .deb's checks, the unit check
  help2man dpkg-dev fakeroot file lintian systemd
  # the test against a real Prometheus server and its rule checker
  prometheus
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

# The prometheus package starts its server on every address (port 9090) when
# it is installed. The tests run their own on loopback, so no service may
# start during the install (policy-rc.d, see invoke-rc.d(8)), nor at boot.
policy=/usr/sbin/policy-rc.d
installing_prometheus=false
for p in "${missing[@]}"; do [ "$p" = prometheus ] && installing_prometheus=true; done
own_policy=false
if $installing_prometheus && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# written by Palvex install-deps.sh for the length of one install\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  own_policy=true
fi
remove_policy() { if $own_policy; then $sudo rm -f "$policy"; fi; }
trap remove_policy EXIT

$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

if $installing_prometheus && command -v systemctl >/dev/null; then
  $sudo systemctl disable --quiet prometheus.service 2>/dev/null || true
fi
