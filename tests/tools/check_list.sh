#!/usr/bin/env bash
# Every scenario below a directory through `list`: an engine holding one shows as active, a
# scenario that cannot be read gets its note and the others are still listed, the JSON and the
# metrics parse with real parsers, and nothing below the roots changes.
# Usage: check_list.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
mkdir -p "$work/root/a" "$work/root/b" "$work/root/c" "$work/root/plain" "$work/root/deep/d" "$work/other/e"
py=/usr/bin/python3
"$py" -c 'import prometheus_client.parser' 2>/dev/null \
  || fail "the metrics parser is missing: install python3-prometheus-client (scripts/install-deps.sh)"

"${tool[@]}" set-state "$work/root/a" running --scenario-id 1 --name "a" >/dev/null 2>&1 || fail "set-state a failed"
"${tool[@]}" set-sync "$work/root/b" true --time 1700000000 >/dev/null 2>&1 || fail "set-sync b failed"
"${tool[@]}" set-state "$work/root/deep/d" stop >/dev/null 2>&1 || fail "set-state d failed"
"${tool[@]}" set-state "$work/other/e" stop >/dev/null 2>&1 || fail "set-state e failed"
printf 'kept' > "$work/root/a/.mw_zq_prefix/state.lock"   # a lock file with content keeps it
mkdir -p "$work/root/c/.mw_zq_prefix"
printf 'not a state file' > "$work/root/c/.mw_zq_prefix/stats.xml"

# An engine holds b while list runs.
"${tool[@]}" hold "$work/root/b" --seconds 30 >"$work/hold.out" 2>&1 &
holder=$!
for _ in $(seq 1 300); do
  grep -q '^holding ' "$work/hold.out" 2>/dev/null && break
  kill -0 "$holder" 2>/dev/null || fail "hold stopped: $(cat "$work/hold.out")"
  sleep 0.05
done
grep -q '^holding ' "$work/hold.out" || fail "hold did not report holding"

# What must not change: contents, sizes, modes and change times (attributes, Wine's included).
snapshot() {
  (cd "$work" && find root other -print0 | sort -z | xargs -0 stat -c '%n %F %s %a %Y %Z' \
    && find root other -type f -print0 | sort -z | xargs -0 sha256sum)
}
snapshot > "$work/before.txt"

"${tool[@]}" list "$work/root" "$work/other" --json > "$work/list.json" 2>"$work/list.err"
rc=$?
[ "$rc" = 1 ] || fail "list --json exited with $rc (c cannot be read): $(cat "$work/list.err")"
"$py" - "$work/list.json" <<'PY' || fail "the JSON listing is not what it should be: $(cat "$work/list.json")"
import json, sys
rows = json.load(open(sys.argv[1]))
assert len(rows) == 4 and len({r["directory"] for r in rows}) == 4, rows   # each scenario once
by = {r["directory"].rstrip("/").split("/")[-1]: r for r in rows}
assert [r["directory"] for r in rows] == sorted(r["directory"] for r in rows), "not sorted"
assert set(by) == {"a", "b", "c", "e"}, sorted(by)   # depth 1: deep/d is not listed; plain is no scenario
assert by["b"]["engine_active"] is True and by["a"]["engine_active"] is False
assert by["a"]["state"] == "Running" and by["a"]["state_index"] == 0 and by["a"]["read"] is True
assert by["b"]["synced"] is True and by["b"]["sync_time"] == 1700000000
assert by["b"]["sync_date"] == "2023-11-14T22:13:20Z"
assert by["c"]["read"] is False and "state file" in by["c"]["error"]
assert by["c"]["state"] is None and by["c"]["engine_active"] is False   # unread state: no answer
assert by["e"]["state"] == "Stop"
PY
grep -q "was not read" "$work/list.err" || fail "list did not say which scenario it could not read"

out=$("${tool[@]}" list "$work/root" --depth 2 --json 2>/dev/null | tr -d '\r')
case "$out" in
  *'/root/deep/d"'*) ;;
  *) fail "list --depth 2 missed deep/d: $out" ;;
esac

"${tool[@]}" list "$work/root" --metrics > "$work/metrics.txt" 2>/dev/null
"$py" - "$work/metrics.txt" <<'PY' || fail "the metrics do not parse or say the wrong thing: $(cat "$work/metrics.txt")"
import sys
from prometheus_client.parser import text_string_to_metric_families
samples = {}
for family in text_string_to_metric_families(open(sys.argv[1]).read().replace("\r", "")):
    assert family.type == "gauge", family
    for s in family.samples:
        samples[(s.name, s.labels["directory"].rstrip("/").split("/")[-1])] = s.value
assert samples[("stats_mng_engine_active", "b")] == 1
assert samples[("stats_mng_engine_active", "a")] == 0
assert samples[("stats_mng_state_index", "a")] == 0
assert samples[("stats_mng_sync_replicated_time_seconds", "b")] == 1700000000
assert samples[("stats_mng_scenario_read", "c")] == 0
assert ("stats_mng_state_index", "c") not in samples   # no answer is no sample
PY

# Table: a header and one line a scenario.
lines=$("${tool[@]}" list "$work/root" 2>/dev/null | tr -d '\r' | wc -l)
[ "$lines" = 4 ] || fail "the table has $lines lines, not 4"

snapshot > "$work/after.txt"
diff "$work/before.txt" "$work/after.txt" > "$work/diff.txt" || fail "list changed something: $(cat "$work/diff.txt")"

# Every scenario read: exit 0.
out=$("${tool[@]}" list "$work/other" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 0 ] || fail "list of readable scenarios exited with $rc: $out"

# Written in one step for a scraper.
expect 1 "" list "$work/root" --metrics --write "$work/scrape.prom"
grep -q '^stats_mng_engine_active{directory=".*/root/b/*"} 1$' "$work/scrape.prom" \
  || fail "the written metrics lack b: $(cat "$work/scrape.prom")"
ls "$work" | grep -q '\.tmp$' && fail "a temporary file was left beside the metrics"
expect 2 "" list "$work/root" --write "$work/x.prom"   # --write needs --metrics
expect 2 "" list "$work/root" --metrics --write ""   # an empty name is no file (not standard output)
expect 4 "" list "$work/missing"
expect 4 "" list "$work/root/a/.mw_zq_prefix/stats.xml"

kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null

# Names no terminal or parser takes as they are (bytes that are no UTF-8, control characters, quotes,
# backslashes, and a name that reads like an escape): each is shown in its escaped form, which gives
# the name back, and every output form parses with one row or series per directory. (Built for Linux
# only: the Windows build sees the emulator's idea of such names.)
if [ "$tool_words" = 1 ]; then
  names="$work/names"
  for name in $'a\xfe' $'a\xff' 'a\xfe' $'tab\there' $'new\nline' 'quote"d' 'back\\slash' 'back\\\\slash' $'\xe9t\xe9' 'plain'; do
    mkdir -p "$names/$name/.mw_zq_prefix"
  done
  "${tool[@]}" list "$names" --json >"$work/names.json" 2>/dev/null
  "${tool[@]}" list "$names" --metrics >"$work/names.prom" 2>/dev/null
  "${tool[@]}" list "$names" >"$work/names.txt" 2>/dev/null
  "$py" - "$names" "$work/names.json" "$work/names.prom" "$work/names.txt" <<'PY' || fail "names that need escaping are not listed one each, reversibly"
import json, os, re, sys
from prometheus_client.parser import text_string_to_metric_families
root = os.fsencode(sys.argv[1])
real = sorted(os.listdir(root))

def unescape(text):
    out, i = bytearray(), 0
    while i < len(text):
        if text.startswith("\\\\", i):
            out += b"\\"; i += 2
        elif re.match(r"\\x[0-9A-F]{2}", text[i:i + 4]):
            out.append(int(text[i + 2:i + 4], 16)); i += 4
        else:
            assert text[i] != "\\", text
            out += text[i].encode("utf-8"); i += 1
    return bytes(out)

rows = json.load(open(sys.argv[2], encoding="utf-8"))
assert len(rows) == len(real), (len(rows), len(real))
listed = [unescape(r["directory"]) for r in rows]
assert sorted(os.path.basename(d) for d in listed) == real, listed
assert all(d.startswith(root) for d in listed), listed

series = {}
for family in text_string_to_metric_families(open(sys.argv[3], encoding="utf-8").read()):
    for s in family.samples:
        key = (s.name, s.labels["directory"])
        assert key not in series, key   # one series per directory
        series[key] = s.value
read = sorted(unescape(d) for (n, d) in series if n == "stats_mng_scenario_read")
assert read == sorted(listed), read

table = open(sys.argv[4], encoding="utf-8").read()
assert not re.search(r"[\x00-\x08\x0b-\x1f\x7f]", table), "a control character reached the table"
lines = table.splitlines()
assert len(lines) == len(real) + 1, lines
assert sorted(unescape(line.split("  ")[0]) for line in lines[1:]) == sorted(listed), lines
PY
  # A root on a drive mapped with --drive is listed, watched and waited on as the other commands read it.
  mkdir -p "$work/cdrive/grp/s1"
  "${tool[@]}" --drive "C=$work/cdrive" set-state 'C:\grp\s1' running >/dev/null 2>&1 || fail "set-state on a mapped drive failed"
  out=$("${tool[@]}" --drive "C=$work/cdrive" list 'C:\grp' --json 2>&1)
  case "$out" in *'/cdrive/grp/s1","read":true'*'"state":"Running"'*) ;; *) fail "list of a mapped drive: [$out]" ;; esac
  expect 0 Running --drive "C=$work/cdrive" wait 'C:\grp\s1' --for state=Running --timeout 5

  # Columns line up on a terminal whatever the characters take: wide, combining, four-byte.
  wide="$work/wide"
  for name in 'x' '中文名' $'e\xcc\x81e' '😀'; do mkdir -p "$wide/$name/.mw_zq_prefix"; done
  "${tool[@]}" list "$wide" >"$work/wide.txt" 2>/dev/null
  "$py" - "$work/wide.txt" <<'PY' || fail "the table's columns do not line up: $(cat "$work/wide.txt")"
import sys, unicodedata
def width(text):
    return sum(0 if unicodedata.combining(c) else 2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
starts = set()
for line in lines:
    at = line.index("ENGINE") if line.startswith("DIRECTORY") else line.index(" inactive") + 1
    starts.add(width(line[:at]))
assert len(starts) == 1, (starts, lines)
PY
fi
# A directory the user may not look into is passed over with one note (and 1), whatever the depth (run as
# an unprivileged user: root looks into every directory).
if [ "$tool_words" = 1 ] && [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null &&
   setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$work"; then
  mkdir -p "$work/closed/shut/inner/.mw_zq_prefix" "$work/closed/open/.mw_zq_prefix"
  chmod 755 "$work/closed" "$work/closed/open" "$work/closed/open/.mw_zq_prefix"
  chmod 000 "$work/closed/shut"
  for depth in 1 2 3; do
    setpriv --reuid=65534 --regid=65534 --clear-groups "${tool_command[@]}" list "$work/closed" --depth "$depth" \
      >"$work/closed.out" 2>"$work/closed.err"
    rc=$?
    [ "$rc" = 1 ] && grep -q "^$work/closed/open " "$work/closed.out" ||
      fail "list --depth $depth of a tree with a closed directory gave rc=$rc [$(cat "$work/closed.out")]"
    [ "$(cat "$work/closed.err")" = "stats-mng: passed over $work/closed/shut: Permission denied" ] ||
      fail "list --depth $depth said [$(cat "$work/closed.err")], wanted one note on $work/closed/shut"
  done
  chmod 755 "$work/closed/shut"
else
  echo "a directory closed to the user was not checked: not root on this system, or no setpriv"
fi
rm -rf "$work"
echo "list checks passed"
