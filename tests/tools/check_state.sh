#!/usr/bin/env bash
# Recording and reading a scenario's state with the tool.
# Usage: check_state.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
work=$1
shift
tool=("$@")
source "$(dirname "$0")/tool_checks.sh"
rm -rf "$work"
mkdir -p "$work/scenarios/7"
scen="$work/scenarios/7"

expect 4 "" state "$work/missing"
expect 1 Unknown state "$scen"
expect 3 false synced "$scen"
expect 0 "" set-state "$scen" running --scenario-id 7 --name "Sample 7"
expect 0 Running state "$scen"
expect 0 "" set-sync "$scen" false --time 100
expect 0 Sync state "$scen"
expect 0 "" set-state "$scen" running  # kept: a run is not recorded while synchronising
expect 0 Sync state "$scen"
expect 0 "" set-sync "$scen" true --time 200
expect 0 true synced "$scen"
expect 0 "{\"directory\": \"$scen\", \"state\": \"Running\", \"index\": 0, \"read\": true}" state --json "$scen"
expect 0 "" set-state "$scen" stop
expect 0 Stop state "$scen"
# The parent directory's later record wins.
expect 0 "" set-sync "$work/scenarios" false --time 300
expect 0 Sync state "$scen"
expect 4 "" set-state "$work/missing" running
content=$(tr -d '\r' <"$scen/.mw_zq_prefix/stats.xml")
expected='<?xml version="1.0"?>
<stats_saver>
	<Scenario HostIndex="1" ScenarioID="7" ScenarioName="Sample 7" State="Stop" IsSyncReplicated="True" IsSyncReplicatedTime="200"/>
</stats_saver>'
[ "$content" = "$expected" ] || fail "state file: [$content]"
rm -rf "$work"
echo "state checks passed"
