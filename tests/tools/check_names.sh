#!/usr/bin/env bash
# Names, directories and values beyond ASCII through every command that takes or prints them: one
# table, the same answers from either build (the Windows one under its emulator, its arguments given
# as UTF-16 by the system), so the two are compared through it.
# Usage: check_names.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
root="$work/scenarios"
mkdir -p "$root"

# Each row: a directory name below the root, a scenario name recorded in its state file.
names=(
  "été|Café ω中😀"
  "ω中 😀|Ελληνικά"
  "plain|ｆｕｌｌ　ｗｉｄｔｈ １"
  "𝄞 music|נעמי"
)
for row in "${names[@]}"; do
  dir="$root/${row%%|*}"
  name=${row#*|}
  mkdir -p "$dir"
  expect 0 "" set-state "$dir" running --scenario-id 7 --name "$name"
  expect 0 "{\"directory\":\"$dir\",\"state\":\"Running\",\"index\":0,\"read\":true,\"recorded\":true}" state --json "$dir"
  grep -qF "ScenarioName=\"$name\"" "$dir/.mw_zq_prefix/stats.xml" \
    || fail "the state file of $dir holds [$(cat "$dir/.mw_zq_prefix/stats.xml")], not the name [$name]"
  expect 0 "" set-sync "$dir" true --time 33000000000
  expect 0 "true" synced "$dir"
  expect 3 inactive active "$dir"
done

# The listing names each directory as it is, sorted by its bytes, and writes dates past the year
# 3000 the same way.
out=$("${tool[@]}" list --json "$root" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 0 ] || fail "list --json gave rc=$rc [$out]"
listed=$(printf '%s' "$out" | sed -e 's/"directory":"[^"]*scenarios\//"directory":"/g')
wanted='[{"directory":"plain","read":true,"engine_active":false,"recorded":true,"state":"Running","state_index":0,"synced":true,"sync_time":33000000000,"sync_date":"3015-09-24T10:40:00Z"},{"directory":"été","read":true,"engine_active":false,"recorded":true,"state":"Running","state_index":0,"synced":true,"sync_time":33000000000,"sync_date":"3015-09-24T10:40:00Z"},{"directory":"ω中 😀","read":true,"engine_active":false,"recorded":true,"state":"Running","state_index":0,"synced":true,"sync_time":33000000000,"sync_date":"3015-09-24T10:40:00Z"},{"directory":"𝄞 music","read":true,"engine_active":false,"recorded":true,"state":"Running","state_index":0,"synced":true,"sync_time":33000000000,"sync_date":"3015-09-24T10:40:00Z"}]'
[ "$listed" = "$wanted" ] || fail "list --json printed [$listed], wanted [$wanted]"

# Dates: the last second the ISO form writes, and the first it does not (null, the time still given).
expect 0 "" set-sync "$root/plain" true --time 253402300799
out=$("${tool[@]}" list --json "$root/plain/.." 2>/dev/null | tr -d '\r')
case "$out" in *'"sync_time":253402300799,"sync_date":"9999-12-31T23:59:59Z"'*) ;; *) fail "year 9999: [$out]" ;; esac
expect 0 "" set-sync "$root/plain" true --time 253402300800
out=$("${tool[@]}" list --json "$root" 2>/dev/null | tr -d '\r')
case "$out" in *'"sync_time":253402300800,"sync_date":null'*) ;; *) fail "year 10000: [$out]" ;; esac

# Path forms keep every character.
expect 0 'C:/été/ω中 😀/𝄞' path 'C:\été\ω中 😀\𝄞\'
expect 0 '\\?\C:\été\ω中 😀' path --wide 'C:/été/ω中 😀/'

# A scenario file's text values, read back as written.
scenario_file="$root/été/scénario ω.xml"
"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null >"$scenario_file" \
  || fail "default-object Scenario failed"
values=("ω中😀" "Café – O'Brien & Co" "ｆｕｌｌ　ｗｉｄｔｈ" "𝄞")
for value in "${values[@]}"; do
  expect 0 "" set "$scenario_file" Scenario.ScenarioName "$value"
  expect 0 "$value" get "$scenario_file" Scenario.ScenarioName
done
# A full-width digit is no number, whatever a code page would make of it.
expect 1 'does not fit: Unable to convert "１" to __int64' fits Number '１'
expect 0 'fits' fits Number '1'
rm -rf "$work"
echo "name checks passed"
