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
echo "== Is an engine working on the sample scenario? (a copy of samples/scenarios/7)"
scenario="$logs/scenarios/7"
mkdir -p "$logs/scenarios" && cp -r samples/scenarios/7 "$scenario"
"$tool" --log-dir "$logs" active "$scenario" || echo "(exit status $?: inactive)"
echo "-- an engine takes the scenario's lock (stats-mng hold, in the background)"
"$tool" hold "$scenario" >"$logs/hold.out" &
holder=$!
for _ in $(seq 1 100); do grep -q '^holding' "$logs/hold.out" && break; sleep 0.05; done
cat "$logs/hold.out"
"$tool" --log-dir "$logs" active "$scenario" && echo "(exit status 0: active)"
echo "-- the engine stops"
kill "$holder"; wait "$holder" || true
"$tool" --log-dir "$logs" active "$scenario" || echo "(exit status $?: inactive)"
echo
echo "== Recording and reading the scenario's state"
"$tool" --log-dir "$logs" state "$scenario" || echo "(exit status $?: nothing recorded yet)"
"$tool" --log-dir "$logs" set-state "$scenario" running --scenario-id 7 --name "Sample scenario 7"
"$tool" --log-dir "$logs" state "$scenario"
"$tool" --log-dir "$logs" set-sync "$scenario" false --time 1700000000
"$tool" --log-dir "$logs" state --json "$scenario"
"$tool" --log-dir "$logs" set-sync "$scenario" true --time 1700000100
"$tool" --log-dir "$logs" synced --json "$scenario"
echo "-- the state file ($scenario/.mw_zq_prefix/stats.xml)"
cat "$scenario/.mw_zq_prefix/stats.xml"
echo "-- and the engine question once more"
"$tool" --log-dir "$logs" active --json "$scenario" || true
echo
echo "== The trace log the library wrote ($logs/stats_mng.log)"
cat "$logs/stats_mng.log"
