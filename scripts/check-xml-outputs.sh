#!/usr/bin/env bash
# Every XML file the library and the tool wrote while the suites ran, read by a standard parser
# (libxml2's xmllint). Run with STATS_MNG_KEEP_XML naming a directory, each test keeps there the XML
# files it leaves in its temporary directory that it did not write itself (tests/support/temp_dir.cpp),
# and each tool check the XML files a run of the tool made or changed (tests/tools/tool_checks.sh).
# Usage: scripts/check-xml-outputs.sh KEEP_DIR                (checks what a run kept there)
#        scripts/check-xml-outputs.sh --run PRESET [CTEST...]  (runs the preset's suites keeping, then checks)
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
if [ "${1:-}" = --run ]; then
  preset=${2:-default}
  shift 2 || shift
  keep="$PWD/build/$preset-xml-outputs"
  rm -rf "$keep" && mkdir -p "$keep"
  STATS_MNG_KEEP_XML="$keep" ctest --preset "$preset" -j2 "$@" || status=1
else
  keep=${1:?usage: check-xml-outputs.sh KEEP_DIR | --run PRESET [CTEST-ARGS...]}
fi
command -v xmllint >/dev/null || { echo "xmllint is missing (scripts/install-deps.sh all)"; exit 1; }
checked=0 code_page=0 bad=0 other=0
for file in "$keep"/*; do
  [ -f "$file" ] || continue
  # The file layer's tests give names ending in .xml to whatever bytes they write: a document the
  # XML writer made begins with its declaration.
  if [ "$(head -c 5 "$file" | tr -d '\000')" != "<?xml" ]; then
    other=$((other + 1))
    continue
  fi
  checked=$((checked + 1))
  if iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1; then
    xmllint --noout "$file" 2>&1 || { bad=$((bad + 1)); echo "not well-formed XML: $file"; }
  else
    # A state file whose scenario name an engine wrote in its single-byte code page: read in
    # that code page, it must be well-formed as well.
    code_page=$((code_page + 1))
    iconv -f ISO-8859-1 -t UTF-8 "$file" | xmllint --noout - 2>&1 \
      || { bad=$((bad + 1)); echo "not well-formed XML (read as ISO-8859-1): $file"; }
  fi
done
echo "XML outputs: $checked documents read by xmllint ($code_page in a single-byte code page), $bad refused;" \
  "$other other files named .xml passed over (no XML declaration)"
[ "$checked" -gt 0 ] || { echo "no XML output was kept: was STATS_MNG_KEEP_XML passed on?"; status=1; }
[ "$bad" = 0 ] || status=1
exit $status
