#!/usr/bin/env bash
# Installs the native build and runs the foreign callers against it: the C consumer built with the
# CMake package, the same program built with pkg-config, and the Python ctypes script.
# Usage: scripts/check-examples.sh   (after the default preset was built)
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$PWD/build/install
rm -rf "$prefix" build/example build/examples-work
cmake --install build/default --prefix "$prefix" >/dev/null
work=$PWD/build/examples-work
mkdir -p "$work/scenarios/7"
tool=build/default/tools/stats-mng/stats-mng
"$tool" set-sync "$work/scenarios/7" true --time 100 --scenario-id 7 >/dev/null
expected="active=false synced=true state=Running read=true"

cmake -S examples/c_consumer -B build/example -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/example >/dev/null
out=$(LD_LIBRARY_PATH="$prefix/lib" build/example/stats_mng_consumer "$work/scenarios/7")
[ "$out" = "$expected" ] || { echo "C consumer (CMake package) printed: $out"; exit 1; }

pkg="PKG_CONFIG_PATH=$prefix/lib/pkgconfig"
cc -o build/example/consumer_pkgconfig examples/c_consumer/main.c $(env "$pkg" pkg-config --cflags --libs stats_mng)
out=$(LD_LIBRARY_PATH="$prefix/lib" build/example/consumer_pkgconfig "$work/scenarios/7")
[ "$out" = "$expected" ] || { echo "C consumer (pkg-config) printed: $out"; exit 1; }

out=$(python3 examples/python/stats_mng_query.py "$prefix/lib/libstats_mng.so" "$work/scenarios/7")
[ "$out" = "$expected" ] || { echo "Python ctypes printed: $out"; exit 1; }
rm -rf "$work"
echo "foreign callers: C (CMake package), C (pkg-config), Python (ctypes): $expected"
