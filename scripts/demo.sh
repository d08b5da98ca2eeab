#!/usr/bin/env bash
# The main job on the bundled sample: builds the stats-mng tool and runs it on samples/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tool
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DSTATS_MNG_BUILD_TESTS=OFF -DSTATS_MNG_BUILD_BENCH=OFF >/dev/null
cmake --build build/demo -j"$(nproc)" --target stats-mng >/dev/null
tool=build/demo/tools/stats-mng/stats-mng
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

echo "== Standard forms of the sample paths (samples/paths.txt)"
mapfile -t paths < <(grep -v '^#' samples/paths.txt | grep -v '^$')
"$tool" --log-dir "$logs" --trace-settings samples/trace.ini path "${paths[@]}" || true
echo
echo "== Windows forms of three of them"
"$tool" path --wide 'C:\Data\\Sub\' '\\server\share\dir\' '/srv/scenarios/7'
echo
echo "== A message from the bundled message file (samples/messages.txt)"
"$tool" message ig00221 --messages samples/messages.txt
echo
echo "== The trace log the library wrote ($logs/stats_mng.log)"
cat "$logs/stats_mng.log"
