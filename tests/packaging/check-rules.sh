#!/usr/bin/env bash
# The alert rules load in Prometheus (promtool check rules) and fire as
# palvex-alerts-test.yml expects (promtool test rules).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rules=$here/../../doc/prometheus/palvex-alerts.yml
if ! command -v promtool >/dev/null; then
  echo "SKIPPED: promtool is not installed (Debian package prometheus; scripts/install-deps.sh installs it)"
  exit 77
fi
promtool check rules "$rules"
promtool test rules "$here/palvex-alerts-test.yml"
