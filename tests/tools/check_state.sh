#!/usr/bin/env bash
# Recording and reading a scenario's state with the tool.
# Usage: check_state.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
mkdir -p "$work/scenarios/7"
scen="$work/scenarios/7"

expect 4 "" state "$work/missing"
expect 1 Unknown state "$scen"
# The reason is given, not a log nobody asked for.
err=$("${tool[@]}" state "$scen" 2>&1 >/dev/null | tr -d '\r')
case "$err" in
  *"no state is recorded for "*"7: File "*"stats.xml does not exist; File "*"stats.xml does not exist") ;;
  *) fail "state without a state file said [$err]" ;;
esac
case "$err" in *"trace log"*) fail "state points at a log nobody asked for: [$err]" ;; esac
expect 3 false synced "$scen"
expect 0 "" set-state "$scen" running --scenario-id 7 --name "Sample 7"
expect 0 Running state "$scen"
expect 0 "" set-sync "$scen" false --time 100
expect 0 Sync state "$scen"
expect 0 "" set-state "$scen" running  # kept: a run is not recorded while synchronising
expect 0 Sync state "$scen"
expect 0 "" set-sync "$scen" true --time 200
expect 0 true synced "$scen"
expect 0 "{\"directory\":\"$scen\",\"state\":\"Running\",\"index\":0,\"read\":true,\"recorded\":true}" state --json "$scen"
expect 0 "" set-state "$scen" stop
expect 0 Stop state "$scen"
# Relative forms name directories below the current one.
(cd "$work/scenarios" && expect 0 "" set-state 7 running) || exit 1
(cd "$scen" && expect 0 Running state .) || exit 1
(cd "$scen/.mw_zq_prefix" && expect 0 Running state ..) || exit 1
(cd "$work" && expect 0 "" set-state scenarios/7/../7 stop) || exit 1
expect 0 Stop state "$scen"
# --seconds 0 holds the lock for no time at all: taken, then let go at once (not held for ever).
out=$(timeout 20 "${tool_command[@]}" hold "$scen" --seconds 0 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 0 ] && [ "$out" = "holding $scen/.mw_zq_prefix/state.lock
released $scen/.mw_zq_prefix/state.lock" ] || fail "hold --seconds 0 gave rc=$rc [$out] (124: it did not let go)"
# Numbers out of range are usage errors, and nothing is done.
expect 2 "" hold "$scen" --seconds 1e20
expect 2 "" hold "$scen" --seconds nan
expect 2 "" hold "$scen" --seconds -1
expect 2 "" set-state "$scen" running --host -1
expect 2 "" set-state "$scen" running --host 18446744073709551616
expect 2 "" set-sync "$scen" true --scenario-id 4294967296
expect 2 "" set-state "$scen" running --name $'line\nend'
# A directory path that cannot name a directory exactly is a usage error too.
expect 2 "" state "$scen$(printf '/.%.0s' $(seq 1 2100))"
if [ "$tool_words" -eq 1 ]; then
  # A byte 0xFF (under an emulator the arguments arrive converted to UTF-16 already).
  expect 2 "" set-state "$scen" running --name $'x\xffy'
fi
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
if [ "$tool_words" -eq 1 ]; then
  # A log directory others may write to, with a name planted where the log goes: the command answers
  # as before, says once on standard error why there is no log, and nothing planted is written
  # through or replaced. (Natively only: links made here are not reparse points to a Windows build
  # under an emulator.)
  logs="$work/shared-logs"
  for planted in link dangling fifo; do
    rm -rf "$logs" && mkdir -m 1777 "$logs" || fail "cannot make $logs"
    printf 'precious\n' >"$work/victim"
    rm -f "$work/missing"
    case $planted in
      link) ln -s "$work/victim" "$logs/stats_mng.log"; kind="is a symbolic link; the trace log is never written through a link" ;;
      dangling) ln -s "$work/missing" "$logs/stats_mng.log"; kind="is a symbolic link; the trace log is never written through a link" ;;
      fifo) mkfifo "$logs/stats_mng.log"; kind="is a FIFO, not a regular file" ;;
    esac
    out=$("${tool[@]}" --log-dir "$logs" state "$scen" 2>"$work/stderr"; echo "rc=$?")
    [ "$out" = "Sync
rc=0" ] || fail "$planted in the log's place: [$out]"
    want="stats-mng: the trace log is not written: $logs/stats_mng.log $kind"
    [ "$(cat "$work/stderr")" = "$want" ] || fail "$planted in the log's place said [$(cat "$work/stderr")], wanted [$want]"
    [ "$(cat "$work/victim")" = precious ] || fail "$planted: the link's target was written"
    [ ! -e "$work/missing" ] || fail "$planted: the dangling link's target was made"
    case $planted in
      fifo) [ -p "$logs/stats_mng.log" ] || fail "the FIFO was replaced" ;;
      *) [ -L "$logs/stats_mng.log" ] || fail "the $planted link was replaced" ;;
    esac
  done
  # A usable log directory says nothing on standard error.
  rm -rf "$logs"
  out=$("${tool[@]}" --log-dir "$logs" state "$scen" 2>"$work/stderr")
  [ "$out" = Sync ] && [ ! -s "$work/stderr" ] || fail "a usable log directory: [$out] [$(cat "$work/stderr")]"
fi
rm -rf "$work"
echo "state checks passed"
