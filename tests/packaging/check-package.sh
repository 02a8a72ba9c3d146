#!/usr/bin/env bash
# Checks the Debian package that cpack built into DIR: its control data and
# dependencies (dpkg-deb --info), the files it installs (dpkg-deb --contents),
# the man pages made from --help, and lintian's verdict.
#   check-package.sh DIR
set -euo pipefail
dir=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

shopt -s nullglob
debs=("$dir"/palvex_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one palvex_*.deb in $dir, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}
echo "package: $deb"

info=$(dpkg-deb --info "$deb")
echo "$info"
for field in "Package: palvex" "Architecture: $(dpkg --print-architecture)" "Section: comm"; do
  grep -qx " $field" <<<"$info" || fail "control lacks \"$field\""
done
depends=$(dpkg-deb --field "$deb" Depends)
# dpkg-shlibdeps writes versioned library packages; a hand-written list
# would not know libc6's minimum version.
for lib in libc6 libqt6core6 libqt6serialport6 libqt6widgets6 libqt6network6 libprometheus-cpp-core; do
  grep -Eq "(^|, )${lib}[^,]* \(>= [0-9]" <<<"$depends" || fail "Depends lacks a versioned $lib: $depends"
done

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for path in \
  ./usr/bin/palvex ./usr/bin/palvex-headless ./usr/bin/palvex-modemsim ./usr/bin/palvex-export \
  ./usr/share/man/man1/palvex.1.gz ./usr/share/man/man1/palvex-headless.1.gz ./usr/share/man/man1/palvex-modemsim.1.gz \
  ./usr/share/man/man1/palvex-export.1.gz \
  ./usr/share/applications/palvex.desktop ./usr/share/icons/hicolor/scalable/apps/palvex.svg \
  ./usr/share/doc/palvex/index.html ./usr/share/doc/palvex/modems.md ./usr/share/doc/palvex/recording.md ./usr/share/doc/palvex/drive-test.md ./usr/share/doc/palvex/screenshot-drive-map.png ./usr/share/doc/palvex/copyright ./usr/share/doc/palvex/changelog.gz \
  ./usr/share/doc/palvex/prometheus/palvex-alerts.yml ./usr/share/doc/palvex/examples/headless.conf \
  ./usr/share/palvex/prometheus/palvex-alerts.yml ./usr/share/palvex/grafana/palvex.json \
  ./usr/share/doc/palvex/examples/headless-ttyUSB0.conf ./usr/share/doc/palvex/examples/headless-ttyUSB1.conf \
  ./etc/logrotate.d/palvex "./usr/lib/systemd/system/palvex-headless@.service"; do
  grep -qxF "$path" <<<"$contents" || fail "package lacks $path"
done
if grep -E '/bench_|/fuzz_' <<<"$contents"; then fail "benchmarks or fuzz targets are in the package"; fi

# The man pages are help2man's rendering of each program's --help.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
man1=$unpacked/usr/share/man/man1
zcat "$man1/palvex-headless.1.gz" | grep -q -- '\\-\\-metrics' || fail "palvex-headless(1) lacks --metrics"
zcat "$man1/palvex-headless.1.gz" | grep -q 'palvex\\-headless@' || fail "palvex-headless(1) lacks the service section"
zcat "$man1/palvex.1.gz" | grep -q -- '\\-\\-list\\-ports' || fail "palvex(1) lacks --list-ports"
zcat "$man1/palvex-export.1.gz" | grep -q -- '\\-\\-format' || fail "palvex-export(1) lacks --format"
zcat "$man1/palvex-modemsim.1.gz" | grep -q -- '\\-\\-unplug\\-after' || fail "palvex-modemsim(1) lacks --unplug-after"

# The maintainer scripts stop the monitors on removal.
control=$(mktemp -d)
dpkg-deb -e "$deb" "$control"
grep -q "systemctl stop 'palvex-headless@\*.service'" "$control/prerm" 2>/dev/null || fail "prerm does not stop the running monitors"
rm -rf "$control"

if command -v lintian >/dev/null; then
  # Errors fail; warnings are shown; Debian's hardening flags leave no
  # hardening tag, even at the pedantic level.
  verdict=$(lintian --pedantic --fail-on error --tag-display-limit 0 "$deb") || { echo "$verdict"; fail "lintian reports errors"; }
  echo "$verdict"
  if grep -E '(^| )hardening-' <<<"$verdict"; then fail "lintian finds binaries without Debian's hardening flags"; fi
else
  echo "lintian check skipped: lintian is not installed (scripts/install-deps.sh installs it)"
fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package checks passed"
