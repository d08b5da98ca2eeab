#!/usr/bin/env bash
# The generic configurator through the tool: its verdict in the log, the template text, default
# objects.
# Usage: check_configurator.sh WORK_DIR TEMPLATE_XML COMMAND...   (COMMAND: the tool, emulator first)
set -u
template=$2
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$1" "${@:3}"
mkdir -p "$work"

# The library builds the configurator while it loads; its verdict reaches the log set afterwards.
"${tool[@]}" --log-dir "$work/logs" template 2>/dev/null | tr -d '\r' > "$work/template.xml"
rc=${PIPESTATUS[0]}
[ "$rc" = 0 ] || fail "template exited with $rc"
grep -q "O.K. Generic Coonfigurator is successfully built up" "$work/logs/stats_mng.log" \
  || fail "no configurator verdict in the log: $(head -c 600 "$work/logs/stats_mng.log")"
cmp -s "$work/template.xml" "$template" || fail "template printed differs from $template"
if command -v xmllint >/dev/null; then
  xmllint --noout "$work/template.xml" || fail "the template is not well-formed XML"
fi

out=$("${tool[@]}" default-object RedirectDNS --product Ha --application HyperV 2>/dev/null | tr -d '\r'
  exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 0 ] || fail "default-object RedirectDNS exited with $rc"
case "$out" in
  '<?xml version="1.0"?>'*'<object label="RedirectDNS" id="4700" status="False">'*) ;;
  *) fail "default-object RedirectDNS printed [$out]" ;;
esac
case "$out" in
  *MasterIPinDNS*|*relevant*|*switch_to_set_default*) fail "default-object RedirectDNS kept what HyperV rules out: [$out]" ;;
esac
"${tool[@]}" default-object 0 --product Dr --application FileServer --assured-recovery 2>/dev/null | tr -d '\r' \
  > "$work/scenario.xml"
rc=${PIPESTATUS[0]}
[ "$rc" = 0 ] || fail "default-object 0 exited with $rc"
grep -q '<data label="AssuredRecovery" val="True" type="Bool" mandatory="True"/>' "$work/scenario.xml" \
  || fail "default-object 0 (Scenario) did not apply Assured Recovery"
if command -v xmllint >/dev/null; then
  xmllint --noout "$work/scenario.xml" || fail "the default Scenario is not well-formed XML"
fi

# A scenario file through get and set: written in one step, still loadable, fixed fields refused.
scenario="$work/s.xml"
"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null > "$scenario" \
  || fail "default-object Scenario failed"
expect 0 "" set "$scenario" Switchover.HeartbeatTimeout 50
expect 0 50 get "$scenario" Switchover.HeartbeatTimeout
expect 1 "" set "$scenario" Scenario.ScenarioID 7
expect 0 0 get "$scenario" Scenario.ScenarioID
expect 0 "" set "$scenario" Scenario.ScenarioID 7 --force
expect 0 7 get "$scenario" Scenario.ScenarioID
expect 1 "" set "$scenario" Switchover.HeartbeatTimeout soon
expect 0 "" set "$scenario" ReportNotifyEmail.EmailAddressTo a@example.invalid b@example.invalid --host 2
expect 0 "a@example.invalid
b@example.invalid" get "$scenario" ReportNotifyEmail.EmailAddressTo --host 2
expect 1 "" get "$scenario" CommonHostProps.Compress --host manager
expect 2 "" get "$work/missing.xml" Scenario.ScenarioID
if command -v xmllint >/dev/null; then
  xmllint --noout "$scenario" || fail "the scenario file is no longer well-formed XML"
fi
ls "$work" | grep -q '\.tmp$' && fail "a temporary file was left beside the scenario"

# States written through a scenario file: into the master's root directory, named and numbered as
# the file says; the replica's root directory has no path, so nothing is written for it.
mkdir -p "$work/root1"
sed -i "0,/<data label=\"Path\" val=\"\" type=\"DefFullPath\"/s##<data label=\"Path\" val=\"$(printf '%s' "$work/root1" | sed 's/[#&\\]/\\&/g')\" type=\"DefFullPath\"#" "$scenario"
"${tool[@]}" set "$scenario" Scenario.ScenarioName "Mail 7" >/dev/null 2>&1 || fail "set ScenarioName failed"
expect 0 "" set-state --config "$scenario" running
expect 0 Running state "$work/root1"
grep -q 'ScenarioID="7"' "$work/root1/.mw_zq_prefix/stats.xml" || fail "the state file lacks the file's scenario id"
grep -q 'Mail 7' "$work/root1/.mw_zq_prefix/stats.xml" || fail "the state file lacks the file's scenario name"
expect 0 "" set-sync --config "$scenario" false --host 1
expect 0 Sync state "$work/root1"
expect 1 "" set-sync --config "$scenario" true --host 2
expect 1 "" set-state --config "$scenario" stop --host 5
expect 2 "" set-state --config "$work/missing.xml" stop
expect 2 "" set-state "$work/root1" --config "$scenario" stop
expect 2 "" set-state --config "$scenario"
expect 2 "" set-state --config "$scenario" halt

# Checking a scenario file: the default one lacks what a user gives it; filled in, it is valid.
valid="$work/valid.xml"
"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null > "$valid" \
  || fail "default-object Scenario failed"
out=$("${tool[@]}" validate "$valid" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 1 ] || fail "validate of the bare default exited with $rc"
case "$out" in
  *"Master, CommonHostProps.IP, The value is empty"*"Replica #2, Root directory #0, RootDir, A required setting is missing or not set"*) ;;
  *) fail "validate of the bare default printed [$out]" ;;
esac
for field in "CommonHostProps.IP 192.0.2.1 --host 1" "CommonHostProps.IP 192.0.2.2 --host 2" \
             "Switchover.FromMasterPingIP 192.0.2.9" "Switchover.FromReplicaPingIP 192.0.2.9"; do
  # shellcheck disable=SC2086
  "${tool[@]}" set "$valid" $field >/dev/null 2>&1 || fail "set $field failed"
done
sed -i 's#<data label="Path" val="" type="DefFullPath"#<data label="Path" val="C:/data" type="DefFullPath"#' "$valid"
expect 0 "" validate "$valid"
expect 0 '{"file":"'"$valid"'","consistent":true,"valid":true,"findings":[]}' validate "$valid" --json
"${tool[@]}" set "$valid" Switchover.HeartbeatTimeout 101 >/dev/null 2>&1 || fail "set HeartbeatTimeout failed"
expect 1 '{"file":"'"$valid"'","consistent":true,"valid":false,"findings":[{"pass":"validity","host":0,"entry":null,"code":25,"path":"Switchover.HeartbeatTimeout","value":"101","text":"Scenario, Switchover.HeartbeatTimeout=>101, HeartbeatTimeout may be at most a third of IsAliveTimeout"}]}' \
  validate "$valid" --json
printf 'IG01373 Szenario\nCV01373 Zu lang\n' > "$work/de.txt"
expect 1 "Szenario, Switchover.HeartbeatTimeout=>101, Zu lang" validate "$valid" --messages "$work/de.txt"
expect 2 "" validate "$valid" --messages "$work/missing.txt"
printf 'not xml' > "$work/broken.xml"
expect 2 "" validate "$work/broken.xml"
: > "$work/empty.xml"
expect 2 "" validate "$work/empty.xml"
# With --json a failure is one JSON object on standard output too, with the same exit status.
for case in "$work/broken.xml" "$work/missing.xml" "--messages $work/missing.txt $valid"; do
  # shellcheck disable=SC2086
  out=$("${tool[@]}" validate --json $case 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  [ "$rc" = 2 ] || fail "validate --json $case gave rc=$rc [$out]"
  printf '%s' "$out" | python3 -c 'import json,sys; d=json.load(sys.stdin); assert d["error"] and d["file"], d' \
    || fail "validate --json $case printed no JSON failure: [$out]"
done
expect 2 "" validate "$work/missing.xml"
# Hostile files: a nesting far too deep, and a file far bigger than any scenario (sparse, made at once).
{ printf '<?xml version="1.0"?>\n<object label="Scenario" id="1000">'
  printf '<object label="x" id="1">%.0s' $(seq 1 10000)
  printf '</object>%.0s' $(seq 1 10001); } > "$work/deep.xml"
expect 2 "" validate "$work/deep.xml"
truncate -s 50M "$work/huge.xml"
expect 2 "" validate "$work/huge.xml"

expect 1 "" default-object Group
expect 2 "" default-object Colour
expect 2 "" default-object 69
expect 2 "" default-object RedirectDNS --product Xx
expect 2 "" default-object RedirectDNS --application hyperv
rm -rf "$work"
echo "configurator checks passed"
