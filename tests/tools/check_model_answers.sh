#!/usr/bin/env bash
# The tool's answers for scenario files whose host tree cannot be built, ids that do not fit, and
# fields named as validate prints them.
# Usage: check_model_answers.sh WORK_DIR COMMAND...   (COMMAND: the tool, emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$1" "${@:2}"
mkdir -p "$work/root1"

scenario="$work/s.xml"
"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null | tr -d '\r' > "$scenario" \
  || fail "default-object Scenario failed"

# A replica cannot take the master's number, nor one outside 1 to 4294967293.
expect 1 "" set "$scenario" CommonHostProps.Index 1 --host 2
expect 1 "" set "$scenario" CommonHostProps.Index 4294967297 --host 2
expect 0 2 get "$scenario" CommonHostProps.Index --host 2

# Written by hand, validate names the replica left out by its place in the file; roots says why
# there is no host 2.
for index in 1 -1 4294967297 0x; do
  sed "0,/<data label=\"Index\" val=\"2\"/s//<data label=\"Index\" val=\"$index\"/" "$scenario" > "$work/bad.xml"
  out=$("${tool[@]}" validate "$work/bad.xml" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  [ "$rc" = 1 ] || fail "validate with the replica's Index $index exited with $rc"
  case "$out" in
    *"ReplNode.CommonHostProps.Index=>$index, ReplNode #2 of the file "*": the host is left out of the host tree"*) ;;
    *) fail "validate with the replica's Index $index did not name the host left out: [$out]" ;;
  esac
  err=$("${tool[@]}" roots "$work/bad.xml" --host 2 2>&1 >/dev/null | tr -d '\r')
  case "$err" in
    *"has no host 2 ("*"ReplNode #2 of the file"*) ;;
    *) fail "roots --host 2 with the replica's Index $index said [$err]" ;;
  esac
done

# A scenario id is 32 bits unsigned and decimal: refused by set, reported by validate, and never
# recorded as another id by --config.
for id in 4294967296 -1 -5 18446744073709551615 0x10; do
  expect 1 "" set "$scenario" Scenario.ScenarioID "$id" --force
  sed "s#<data label=\"ScenarioID\" val=\"0\"#<data label=\"ScenarioID\" val=\"$id\"#; 0,/<data label=\"Path\" val=\"\" type=\"DefFullPath\"/s##<data label=\"Path\" val=\"$(printf '%s' "$work/root1" | sed 's/[#&\\]/\\&/g')\" type=\"DefFullPath\"#" \
    "$scenario" > "$work/id.xml"
  grep -q "label=\"ScenarioID\" val=\"$id\"" "$work/id.xml" || fail "the id $id was not written by hand"
  out=$("${tool[@]}" validate "$work/id.xml" 2>/dev/null | tr -d '\r')
  case "$out" in
    *"Scenario.ScenarioID=>$id, "*) ;;
    *) fail "validate did not report the id $id: [$out]" ;;
  esac
  expect 2 "" set-state --config "$work/id.xml" running
  [ -e "$work/root1/.mw_zq_prefix/stats.xml" ] && fail "--config recorded a state for the id $id"
done
expect 0 "" set "$scenario" Scenario.ScenarioID 4294967295 --force

# One path language: the paths validate prints are read and written by get and set; the short
# table form keeps working; a root directory's field takes its entry number.
expect 0 "" set "$scenario" Switchover.SendPing.FromMasterPingIP 192.0.2.1
expect 0 192.0.2.1 get "$scenario" Switchover.FromMasterPingIP
expect 0 192.0.2.1 get "$scenario" Switchover.SendPing.FromMasterPingIP
expect 0 "" set "$scenario" 'RootDir#0.Path' /data --host 1
expect 0 /data get "$scenario" RootDir.Path --host 1
expect 1 "" get "$scenario" 'RootDir#1.Path' --host 1
expect 1 "" get "$scenario" Switchover.NoSuchField
out=$("${tool[@]}" validate "$scenario" 2>/dev/null | tr -d '\r')
while IFS= read -r line; do
  # "Where, [Root directory #N, ]PATH[=>VALUE], text": each PATH is one get accepts.
  rest=${line#*, }
  host=
  case "$line" in
    Master,*) host=1 ;;
    "Replica #"*) host=${line#Replica #}; host=${host%%,*} ;;
  esac
  entry=
  case "$rest" in
    "Root directory #"*) entry=${rest#Root directory #}; entry=${entry%%,*}; rest=${rest#*, } ;;
  esac
  path=${rest%%, *}
  path=${path%%=>*}
  case "$path" in *.*) ;; *) continue ;; esac  # an object, not a field
  [ -n "$entry" ] && path="${path%%.*}#$entry.${path#*.}"
  if [ -n "$host" ]; then
    "${tool[@]}" get "$scenario" "$path" --host "$host" >/dev/null 2>&1 || fail "get refused [$path] of host $host from [$line]"
  else
    "${tool[@]}" get "$scenario" "$path" >/dev/null 2>&1 || fail "get refused [$path] from [$line]"
  fi
done <<< "$out"
exit 0
