#!/usr/bin/env bash
# What the tool says when a command fails: one line on standard error naming the object (directory,
# file, host, field) with the reason in words, never a pointer to a log nobody asked for; with
# --json also one JSON object on standard output, parsed by a JSON parser, with the same exit status.
# Usage: check_messages.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
py=/usr/bin/python3
mkdir -p "$work/bad" "$work/root/s1"
: > "$work/afile"
# A state file that cannot be read: a directory in its place.
mkdir -p "$work/bad/.mw_zq_prefix/stats.xml"
"${tool[@]}" set-state "$work/root/s1" running >/dev/null 2>&1 || fail "set-state s1 failed"
# A scenario file whose master has a root directory without a path, and one host only.
"${tool[@]}" default-object Scenario >"$work/sc.xml" 2>/dev/null || fail "default-object Scenario failed"

# One row a failure: exit status | object the line must name | reason it must give | arguments.
rows=(
  "4|$work/nodir|does not exist|active $work/nodir"
  "4|$work/afile|it is a file|active $work/afile"
  "4|$work/nodir|does not exist|state $work/nodir"
  "1|$work/bad|stats.xml|state $work/bad"
  "4|$work/nodir|does not exist|synced $work/nodir"
  "1|$work/bad|stats.xml|set-state $work/bad running"
  "4|$work/nodir|does not exist|set-sync $work/nodir true"
  "4|$work/afile|it is a file|hold $work/afile"
  "2|nofile.xml|no such file|set-state --config $work/nofile.xml running"
  "1|sc.xml|Root directory 0 of host 1 has no path|set-state --config $work/sc.xml running"
  "1|sc.xml|has no host 7|set-sync --config $work/sc.xml true --host 7"
  "2|nofile.xml|no such file|get $work/nofile.xml Switchover.HeartbeatTimeout"
  "1|No.Such|e.g. Switchover.HeartbeatTimeout|get $work/sc.xml No.Such"
  "1|No.Such|e.g. CommonHostProps.Port|get $work/sc.xml No.Such --host 1"
  "1|Switchover.HeartbeatTimeout|is a scenario field: leave out --host|get $work/sc.xml Switchover.HeartbeatTimeout --host 1"
  "1|CommonHostProps.Port|is a host field: give --host|get $work/sc.xml CommonHostProps.Port"
  "1|sc.xml|has no host 9|get $work/sc.xml CommonHostProps.Port --host 9"
  "1|Scenario.ScenarioID|--force writes a fixed field|set $work/sc.xml Scenario.ScenarioID 5"
  "1|sc.xml|has no host 9|set $work/sc.xml CommonHostProps.Port 80 --host 9"
  "2|nodir/sc.xml|cannot be made|set $work/nodir/sc.xml Switchover.HeartbeatTimeout 20"
  "2|$work/root|is a directory|set $work/root Switchover.HeartbeatTimeout 20"
  "2|$work/root|it is a directory|get $work/root Switchover.HeartbeatTimeout"
  "2|$work/root|it is a directory|validate $work/root"
  "2|$work/root|it is a directory|roots $work/root"
  "4|nodir|no such directory|list $work/nodir"
  "4|afile|not a directory|list $work/afile"
  "1|x.prom|x.prom|list $work/root --metrics --write $work/nodir/x.prom"
  "1|$work/root|is a directory|list $work/root --metrics --write $work/root"
  "4|$work/nodir|does not exist|wait $work/nodir --for state=Running"
  "4|nodir|no such directory|watch $work/nodir"
  "2|nofile.xml|no such file|validate $work/nofile.xml"
  "2|nomessages.txt|cannot read the message file|validate $work/sc.xml --messages $work/nomessages.txt"
  "2|nofile.xml|no such file|roots $work/nofile.xml"
  "1|sc.xml|has no host 9|roots $work/sc.xml --host 9"
  "2|Nope|no object tag|default-object Nope"
  "2|Nope|neither a value type nor an enumeration|fits Nope x"
  "2|nomessages.txt|cannot read the message file|message IG00001 --messages $work/nomessages.txt"
  "1|'x'|has no standard form|path x"
)
# Links that lead to no directory (natively: under the emulator the links are followed before the
# tool sees them, and such a name is missing).
if [ "$tool_words" = 1 ]; then
  ln -s loop "$work/loop"
  ln -s nowhere "$work/dangling"
  ln -s afile "$work/tofile"
  rows+=(
    "4|$work/loop|it is a link that leads to no directory|state $work/loop"
    "4|$work/dangling|it is a link that leads to no directory|active $work/dangling"
    "4|$work/tofile|it is a link that leads to no directory|set-state $work/tofile running"
    "2|$work/loop|symbolic links|set $work/loop Switchover.HeartbeatTimeout 20"
    "4|$work/loop|it is a link that leads to no directory|list $work/loop"
    "4|$work/dangling|it is a link that leads to no directory|watch $work/dangling"
    "2|$work/loop|cannot be resolved|get $work/loop Switchover.HeartbeatTimeout"
  )
fi
for row in "${rows[@]}"; do
  IFS='|' read -r want_rc object reason arguments <<<"$row"
  read -ra args <<<"$arguments"
  out=$("${tool[@]}" "${args[@]}" 2>"$work/err" | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  err=$(tr -d '\r' <"$work/err")
  [ "$rc" = "$want_rc" ] || fail "$arguments: exit status $rc, wanted $want_rc [$err]"
  [ "$(printf '%s\n' "$err" | wc -l)" = 1 ] || fail "$arguments: not one line on standard error: [$err]"
  case "$err" in "stats-mng: "*) ;; *) fail "$arguments: [$err] does not begin with the tool's name" ;; esac
  # Under the emulator a path may come back with its separators turned: compare with '/' only.
  shown=${err//\\//}
  case "$shown" in *"$object"*) ;; *) fail "$arguments: [$err] does not name $object" ;; esac
  case "$shown" in *"$reason"*) ;; *) fail "$arguments: [$err] does not say \"$reason\"" ;; esac
  if printf '%s' "$err" | grep -qiE '\blog\b|trace'; then fail "$arguments: [$err] points at a log"; fi
done

# With --json: the same status, one JSON object naming what was asked, its error the line above.
json_rows=(
  "4|directory|active $work/nodir --json"
  "4|directory|state $work/nodir --json"
  "4|directory|synced $work/afile --json"
  "4|directory|wait $work/nodir --for engine=active --json"
  "2|file|get $work/nofile.xml Switchover.HeartbeatTimeout --json"
  "1|file|get $work/sc.xml No.Such --json"
  "4|roots|list $work/nodir --json"
  "4|roots|watch $work/nodir --json"
  "2|file|validate $work/nofile.xml --json"
)
for row in "${json_rows[@]}"; do
  IFS='|' read -r want_rc key arguments <<<"$row"
  read -ra args <<<"$arguments"
  "${tool[@]}" "${args[@]}" >"$work/out" 2>"$work/err"
  rc=$?
  [ "$rc" = "$want_rc" ] || fail "$arguments: exit status $rc, wanted $want_rc [$(cat "$work/err")]"
  "$py" - "$work/out" "$work/err" "$key" <<'PY' || fail "$arguments: the JSON failure is wrong: [$(cat "$work/out")] [$(cat "$work/err")]"
import json, sys
text = open(sys.argv[1], encoding="utf-8").read().replace("\r", "")
line = open(sys.argv[2], encoding="utf-8").read().replace("\r", "").strip()
answer = json.loads(text)
assert isinstance(answer, dict) and text.count("\n") == 1, text
assert sys.argv[3] in answer, answer
assert line.startswith("stats-mng: ") and answer["error"] == line[len("stats-mng: "):], (answer, line)
PY
done

# An empty name is no file or directory, and trace settings without a log are nothing: usage errors.
expect 2 "" --log-dir "" path /x
expect 2 "" --log-dir "$work/logs" --trace-settings "" path /x
expect 2 "" --trace-settings "$work/settings.ini" path /x
expect 2 "" validate "$work/sc.xml" --messages ""
expect 2 "" message IG00001 --messages ""

# A usage error the option parser finds is JSON too when JSON was asked for.
"${tool[@]}" wait "$work/root/s1" --for bogus --json >"$work/out" 2>/dev/null
rc=$?
[ "$rc" = 2 ] || fail "wait --for bogus --json exited with $rc"
"$py" -c 'import json,sys; a=json.load(open(sys.argv[1])); assert "bogus" in a["error"], a' "$work/out" \
  || fail "a usage error with --json printed [$(cat "$work/out")]"

# A control character in a name stays in its line: one line, escaped, on standard error and in the
# JSON error. (Natively: a Windows command line does not carry such names as bytes.)
if [ "$tool_words" = 1 ]; then
  for name in $'nl\nmissing' $'esc\e[31mred' $'latin\xe9'; do
    "${tool[@]}" state "$work/$name" --json >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" = 4 ] || [ "$rc" = 2 ] || fail "state of a missing [$name] exited with $rc"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "state of [$name]: not one line: [$(cat -A "$work/err")]"
    if LC_ALL=C grep -q $'[\x01-\x09\x0b-\x1f\x7f]' "$work/err"; then fail "a control character reached standard error: [$(cat -A "$work/err")]"; fi
    "$py" - "$work/out" "$work/err" <<'PY' || fail "state of [$name] --json: [$(cat "$work/out")] [$(cat "$work/err")]"
import json, sys
answer = json.load(open(sys.argv[1], encoding="utf-8"))
line = open(sys.argv[2], encoding="utf-8").read().strip()
assert answer["error"] == line[len("stats-mng: "):], (answer, line)
assert "\\x" in answer["error"], answer
PY
  done
fi

# A state file that cannot be read is no "nothing recorded": read says which, as in list.
out=$("${tool[@]}" state "$work/bad" --json 2>/dev/null | tr -d '\r')
"$py" -c 'import json,sys; a=json.loads(sys.argv[1]); assert a["read"] is False and a["recorded"] is False and a["error"], a' "$out" \
  || fail "state --json of an unreadable state file: [$out]"
mkdir -p "$work/root/fresh/.mw_zq_prefix"
out=$("${tool[@]}" state "$work/root/fresh" --json 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
"$py" -c 'import json,sys; a=json.loads(sys.argv[1]); assert a["read"] is True and a["recorded"] is False and "error" not in a, a' "$out" \
  || fail "state --json of a scenario with nothing recorded: [$out]"
[ "$rc" = 1 ] || fail "state of a scenario with nothing recorded exited with $rc"
out=$("${tool[@]}" list "$work/root" --json 2>/dev/null | tr -d '\r')
"$py" - "$out" <<'PY' || fail "list --json does not say read and recorded as state does: [$out]"
import json, sys
by = {r["directory"].rstrip("/").split("/")[-1]: r for r in json.loads(sys.argv[1])}
assert by["fresh"]["read"] is True and by["fresh"]["recorded"] is False, by
assert by["s1"]["read"] is True and by["s1"]["recorded"] is True, by
PY

# The engine question writes nothing into the lock file: a lock file's content stays, and a
# scenario without a state directory gets only that directory.
printf 'kept' > "$work/root/s1/.mw_zq_prefix/state.lock"
expect 3 inactive active "$work/root/s1"
[ "$(cat "$work/root/s1/.mw_zq_prefix/state.lock")" = kept ] || fail "active emptied or wrote the lock file"
mkdir -p "$work/root/new"
expect 3 inactive active "$work/root/new"
[ -d "$work/root/new/.mw_zq_prefix" ] || fail "active did not make the hidden state directory"
[ -z "$(ls -A "$work/root/new/.mw_zq_prefix")" ] || fail "active made more than the state directory"

rm -rf "$work"
echo "message checks passed"
