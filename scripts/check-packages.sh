#!/usr/bin/env bash
# Builds the packages from a built preset and checks what a user installs.
#   default: the Debian package (cpack -G DEB): lintian finds no error and no warning but the known
#     ones below; unpacked into a scratch root (dpkg-deb -x), the C consumer builds against the
#     root's header, pkg-config file and CMake package and runs, the tool answers --version and
#     state on the sample, man renders the page without a warning, and the bash completion loaded
#     in a bash completes commands, words and names.
#   mingw: the Windows zip (cpack -G ZIP): the files a Windows user needs and nothing the DLL or the
#     tool would still need from elsewhere; unpacked, its stats-mng.exe answers --version under Wine.
# Usage: scripts/check-packages.sh PRESET...   (after the presets were built)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

# The warnings lintian gives that are kept on purpose:
#  link-to-shared-library-in-wrong-package, package-name-doesnt-match-sonames: one package holds the
#    library, its development files and the tool (no libstats-mng0/-dev split), so that one file
#    installs and removes everything;
#  pkg-config-unavailable-for-cross-compilation: the library and its .pc are in /usr/lib, not in the
#    multiarch directory (the install tree is the same as `cmake --install`'s);
#  maintscript-calls-ldconfig: cpack's postinst and postrm call ldconfig for a library in /usr/lib;
#    the package activates dpkg's ldconfig trigger too, as lintian demands.
known_warnings=(link-to-shared-library-in-wrong-package package-name-doesnt-match-sonames
                pkg-config-unavailable-for-cross-compilation maintscript-calls-ldconfig)

version=$(sed -n 's/^project(stats_mng VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }

check_deb() {
  local build=$source/build/default work=$source/build/package-check
  rm -rf "$work" "$build"/stats-mng_*.deb
  mkdir -p "$work"
  (cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; return 1; }
  local deb
  deb=$build/stats-mng_${version}_$(dpkg --print-architecture).deb
  [ -f "$deb" ] || { echo "no $deb"; ls "$build"/*.deb; return 1; }
  echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes), Depends: $(dpkg-deb -f "$deb" Depends)"
  [ "$(dpkg-deb -f "$deb" Package)" = stats-mng ] && [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
    { echo "wrong Package or Version"; return 1; }
  dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>=' || { echo "Depends does not name the C library"; return 1; }

  # lintian: no error, and only the known warnings.
  local findings unknown=0 tag
  findings=$(lintian --display-info --pedantic "$deb" 2>/dev/null) || true
  while read -r level _ tag _; do
    case $level in
      E:) echo "lintian error: $tag"; unknown=1 ;;
      W:) [[ " ${known_warnings[*]} " == *" $tag "* ]] || { echo "lintian warning not known here: $tag"; unknown=1; } ;;
    esac
  done <<<"$findings"
  echo "lintian: $(grep -c '^E:' <<<"$findings" || true) errors, $(grep -c '^W:' <<<"$findings" || true) warnings (known)," \
       "$(grep -c '^I:' <<<"$findings" || true) informational, $(grep -c '^P:' <<<"$findings" || true) pedantic"
  [ "$unknown" = 0 ] || { echo "$findings"; return 1; }

  # What it puts where.
  local root=$work/root
  dpkg-deb -x "$deb" "$root"
  local path
  for path in usr/bin/stats-mng usr/lib/libstats_mng.so.0 usr/lib/libstats_mng.so usr/include/stats_mng/stats_mng.h \
              usr/lib/pkgconfig/stats_mng.pc usr/lib/cmake/stats_mng/stats_mngConfig.cmake \
              usr/share/stats-mng/validation_messages.txt usr/share/man/man1/stats-mng.1.gz \
              usr/share/bash-completion/completions/stats-mng usr/share/doc/stats-mng/copyright \
              usr/share/doc/stats-mng/changelog.gz; do
    [ -e "$root/$path" ] || { echo "the package lacks /$path"; return 1; }
  done
  cmp -s "$root/usr/share/stats-mng/validation_messages.txt" tools/stats-mng/validation_messages.txt ||
    { echo "the message file differs from the source's"; return 1; }

  # The tool from the package, on a copy of the sample scenario.
  local tool=$root/usr/bin/stats-mng scenario=$work/scenarios/7
  mkdir -p "$work/scenarios" && cp -r samples/scenarios/7 "$scenario"
  [ "$("$tool" --version)" = "stats-mng $version" ] || { echo "--version: $("$tool" --version)"; return 1; }
  local out rc
  out=$("$tool" state "$scenario" 2>/dev/null) && rc=0 || rc=$?
  [ "$out:$rc" = "Unknown:1" ] || { echo "state before a record: $out (exit $rc)"; return 1; }
  "$tool" set-sync "$scenario" true --time 100 --scenario-id 7
  out=$("$tool" state "$scenario") && rc=0 || rc=$?
  [ "$out:$rc" = "Running:0" ] || { echo "state after a record: $out (exit $rc)"; return 1; }

  # The C consumer against the root's header and library: through pkg-config and the CMake package.
  local expected="active=false synced=true state=Running read=true"
  cc -o "$work/consumer" examples/c_consumer/main.c \
     $(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" PKG_CONFIG_LIBDIR=/nonexistent pkg-config --cflags --libs stats_mng)
  out=$(LD_LIBRARY_PATH="$root/usr/lib" "$work/consumer" "$scenario")
  [ "$out" = "$expected" ] || { echo "C consumer (pkg-config) printed: $out"; return 1; }
  cmake -S examples/c_consumer -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$root/usr" \
        -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF >/dev/null
  cmake --build "$work/consumer-cmake" >/dev/null
  out=$(LD_LIBRARY_PATH="$root/usr/lib" "$work/consumer-cmake/stats_mng_consumer" "$scenario")
  [ "$out" = "$expected" ] || { echo "C consumer (CMake package) printed: $out"; return 1; }
  echo "unpacked: tool --version and state, C consumer (pkg-config, CMake package): $expected"

  # The manual page renders without a warning and the completion works, both from the root.
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/man1/stats-mng.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man: $warnings"; return 1; }
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/stats-mng.1.gz" 2>/dev/null | grep -q '^EXIT STATUS' ||
    { echo "the rendered page has no EXIT STATUS"; return 1; }
  echo "man -l: rendered without warnings"
  bash tests/tools/check_completion.sh "$work/completion" "$root/usr/share/bash-completion/completions/stats-mng" "$tool"
  rm -rf "$work"
}

check_zip() {
  local build=$source/build/mingw work=$source/build/package-check-zip
  rm -rf "$work" "$build"/stats-mng-*-win64.zip
  mkdir -p "$work"
  (cd "$build" && cpack -G ZIP >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; return 1; }
  local zip=$build/stats-mng-$version-win64.zip
  [ -f "$zip" ] || { echo "no $zip"; return 1; }
  unzip -q "$zip" -d "$work"
  local top=$work/stats-mng-$version-win64
  # Exactly these files: the library, its import library and .def, the header, the tool, the
  # message file, the README, and the CMake package and pkg-config file `cmake --install` writes.
  local want got
  want=$(printf '%s\n' README.txt bin/stats-mng.exe bin/stats_mng.dll include/stats_mng/stats_mng.h \
         lib/libstats_mng.dll.a lib/stats_mng.def lib/pkgconfig/stats_mng.pc share/stats-mng/validation_messages.txt \
         lib/cmake/stats_mng/stats_mngConfig.cmake lib/cmake/stats_mng/stats_mngConfigVersion.cmake \
         lib/cmake/stats_mng/stats_mng_targets.cmake lib/cmake/stats_mng/stats_mng_targets-relwithdebinfo.cmake | sort)
  got=$(cd "$top" && find . -type f | sed 's|^\./||' | sort)
  [ "$got" = "$want" ] || { echo "the zip holds:"; echo "$got"; echo "wanted:"; echo "$want"; return 1; }
  # The .def names the four exports and nothing else.
  local exports
  exports=$(sed -n '/^EXPORTS/,$p' "$top/lib/stats_mng.def" | sed 1d | awk '{ print $1 }' | sort | tr '\n' ' ')
  [ "$exports" = "get_scenario_state_index is_engine_active_for_scenario is_sync_replicated set_trc_file_log_path " ] ||
    { echo "stats_mng.def exports: $exports"; return 1; }
  # Nothing to install beside them: the DLL and the tool import system DLLs only.
  local file dll
  for file in bin/stats_mng.dll bin/stats-mng.exe; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$top/$file" | sed -n 's/^\s*DLL Name: //p'); do
      case ${dll,,} in
        kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | ws2_32.dll | ntdll.dll | shell32.dll | ole32.dll | \
        api-ms-win-*) ;;
        *) echo "$file needs $dll, which is not part of Windows"; return 1 ;;
      esac
    done
  done
  export WINEPREFIX=${WINEPREFIX:-$source/build/wine-prefix} WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  local out
  out=$(/usr/lib/wine/wine64 "$top/bin/stats-mng.exe" --version | tr -d '\r')
  [ "$out" = "stats-mng $version" ] || { echo "stats-mng.exe --version under Wine: $out"; return 1; }
  echo "zip: $(basename "$zip") ($(stat -c %s "$zip") bytes), $(wc -l <<<"$got") files; stats-mng.exe --version under Wine: $out"
  rm -rf "$work"
}

# Each check in a shell of its own that stops at its first failing command; the next still runs.
status=0
for preset in "$@"; do
  case $preset in
    default) echo "== Debian package"; check=check_deb ;;
    mingw) echo "== Windows zip"; check=check_zip ;;
    *) echo "check-packages.sh: no package for preset $preset" >&2; status=1; continue ;;
  esac
  set +e
  (set -e; "$check")
  [ $? -eq 0 ] || { echo "FAILED: the $preset package" >&2; status=1; }
  set -e
done
exit $status
