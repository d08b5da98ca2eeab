#!/usr/bin/env bash
# Builds everything and runs every test suite: native, AddressSanitizer + UndefinedBehaviorSanitizer,
# the concurrent parts under ThreadSanitizer, and the 64-bit Windows build under Wine.
# Usage: scripts/test-all.sh [preset...]   (default: default asan tsan mingw)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
echo "== layering of src/"
scripts/check-layers.sh
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan tsan mingw)
jobs=$(nproc)

for preset in "${presets[@]}"; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

wine_started=no
stop_wine() { if [ "$wine_started" = yes ]; then WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k || true; fi; }
trap stop_wine EXIT

status=0
for preset in "${presets[@]}"; do
  if [ "$preset" = mingw ]; then
    # A prefix of our own inside the build tree, and one persistent server for all test processes.
    export WINEPREFIX="$PWD/build/wine-prefix" WINEDEBUG=-all
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -p
    wine_started=yes
    # The first start creates the prefix (some seconds); do it before the timed test discovery.
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  fi
  echo "== test: $preset"
  if [ "$preset" = mingw ]; then
    # Under Wine a test process has now and then died or hung while starting, before the test's
    # own code ran (no output at all; the same test passes run again, alone or in the suite). A
    # test that fails is run once more, with a 5-minute limit, and the log keeps both attempts;
    # one that fails twice fails the run.
    ctest --preset "$preset" -j"$jobs" --timeout 300 --repeat until-pass:2 || status=1
  elif [ "$preset" = default ]; then
    # Every XML file the library and the tool write in the suites is kept, then read by libxml2.
    rm -rf build/default-xml-outputs && mkdir -p build/default-xml-outputs
    STATS_MNG_KEEP_XML="$PWD/build/default-xml-outputs" ctest --preset "$preset" -j"$jobs" || status=1
    echo "== XML written by the suites, read by a standard parser"
    scripts/check-xml-outputs.sh build/default-xml-outputs || status=1
  else
    ctest --preset "$preset" -j"$jobs" || status=1
  fi
done

if [[ " ${presets[*]} " == *" asan "* ]]; then
  # The fuzz targets share one time budget (run them longer by hand:
  # build/fuzz/fuzz/xml_load_fuzzer -max_total_time=3600 CORPUS_DIR): the XML reader three tenths of
  # it, the state scan against the full reader a tenth, the configuration model's rules, the scenario
  # checks and the in-place edit a fifth each.
  budget="${STATS_MNG_FUZZ_SECONDS:-60}"
  xml_seconds=$(( budget * 3 / 10 ))
  state_seconds=$(( budget / 10 ))
  xmc_seconds=$(( budget / 5 ))
  scenario_seconds=$(( budget / 5 ))
  edit_seconds=$(( budget - xml_seconds - state_seconds - xmc_seconds - scenario_seconds ))
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$jobs"
  echo "== fuzz: XML loading (${xml_seconds} s)"
  rm -rf build/fuzz/run && mkdir -p build/fuzz/run && cp -r fuzz/corpus/xml_load build/fuzz/run/corpus
  (cd build/fuzz/run && ../fuzz/xml_load_fuzzer -max_total_time="$xml_seconds" corpus) || status=1
  echo "== fuzz: the state scan against the full reader (${state_seconds} s)"
  rm -rf build/fuzz/run-state && mkdir -p build/fuzz/run-state && cp -r fuzz/corpus/state_scan build/fuzz/run-state/corpus
  (cd build/fuzz/run-state && ../fuzz/state_scan_fuzzer -max_total_time="$state_seconds" corpus) || status=1
  echo "== fuzz: configuration types and items (${xmc_seconds} s)"
  rm -rf build/fuzz/run-xmc && mkdir -p build/fuzz/run-xmc && cp -r fuzz/corpus/xmc build/fuzz/run-xmc/corpus
  (cd build/fuzz/run-xmc && ../fuzz/xmc_fuzzer -max_total_time="$xmc_seconds" corpus) || status=1
  echo "== fuzz: scenario files through both checks (${scenario_seconds} s)"
  rm -rf build/fuzz/run-scenario && mkdir -p build/fuzz/run-scenario && cp -r fuzz/corpus/scenario build/fuzz/run-scenario/corpus
  (cd build/fuzz/run-scenario && ../fuzz/scenario_fuzzer -max_total_time="$scenario_seconds" -timeout=10 corpus) || status=1
  echo "== fuzz: scenario files edited in place (${edit_seconds} s)"
  rm -rf build/fuzz/run-edit && mkdir -p build/fuzz/run-edit && cp -r fuzz/corpus/scenario_edit build/fuzz/run-edit/corpus
  (cd build/fuzz/run-edit && ../fuzz/scenario_edit_fuzzer -max_total_time="$edit_seconds" -timeout=10 corpus) || status=1
fi

if [[ " ${presets[*]} " == *" default "* ]]; then
  echo "== foreign callers of the installed library"
  scripts/check-examples.sh || status=1
  echo "== benchmark smoke run: trace cost"
  build/default/bench/trace_bench --benchmark_min_time=0.05 || status=1
fi

# The packages users install: the Debian package from the native build, the zip from the Windows one.
package_presets=()
for preset in default mingw; do
  [[ " ${presets[*]} " == *" $preset "* ]] && package_presets+=("$preset")
done
if [ ${#package_presets[@]} -gt 0 ]; then
  echo "== packages: ${package_presets[*]}"
  scripts/check-packages.sh "${package_presets[@]}" || status=1
fi
exit $status
