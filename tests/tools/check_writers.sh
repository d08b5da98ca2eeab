#!/usr/bin/env bash
# Writers of one file in several processes at once, through the tool: no change is lost; a replaced
# scenario file keeps its mode, owner and link; a root directory is never made by recording a state.
# Usage: check_writers.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
mkdir -p "$work"
native=yes
[ "$tool_words" -gt 1 ] && native=no  # an emulator starts each process slowly: fewer rounds
rounds=5 pairs=20
[ $native = no ] && rounds=2 pairs=6

# Eight processes, each setting its own field of one scenario file round after round.
scenario="$work/s.xml"
"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null > "$scenario" \
  || fail "default-object Scenario failed"
fields=(Scenario.ScenarioName Scenario.ScenarioComment Scenario.VeldraName Scenario.VeldraTolloName
        Scenario.VeldrCntrlAppName Scenario.VMInstanceUUID Scenario.VeldrCntrlAppUser Switchover.MasterFQName)
pids=()
for i in "${!fields[@]}"; do
  (for r in $(seq 1 $rounds); do
     "${tool[@]}" set "$scenario" "${fields[$i]}" "v$i-$r" 2>"$work/set$i.err" || exit 1
   done) &
  pids+=($!)
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || fail "set of ${fields[$i]} failed: $(cat "$work/set$i.err")"
done
for i in "${!fields[@]}"; do expect 0 "v$i-$rounds" get "$scenario" "${fields[$i]}"; done
ls "$work" | grep -q -E '\.(tmp|lock)$' && fail "a temporary or lock file was left: $(ls "$work")"

# An engine recording the sync while an operator records a stop: both land, every time.
scen="$work/scenarios/7"
mkdir -p "$scen"
for r in $(seq 1 $pairs); do
  "${tool[@]}" set-sync "$scen" true --time "$r" 2>/dev/null &
  sync_pid=$!
  "${tool[@]}" set-state "$scen" stop 2>/dev/null &
  state_pid=$!
  wait $sync_pid || fail "set-sync of round $r failed"
  wait $state_pid || fail "set-state of round $r failed"
  grep -q "IsSyncReplicatedTime=\"$r\"" "$scen/.mw_zq_prefix/stats.xml" \
    || fail "round $r lost its sync record: $(cat "$scen/.mw_zq_prefix/stats.xml")"
done

# set-state --config never makes a root directory: a missing one names itself, a relative one is
# refused.
mkdir -p "$work/conf"
"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null > "$work/conf/s.xml"
set_root() {
  sed -i "0,/<data label=\"Path\" val=\"[^\"]*\" type=\"DefFullPath\"/s##<data label=\"Path\" val=\"$(printf '%s' "$1" | sed 's/[#&\\]/\\&/g')\" type=\"DefFullPath\"#" "$work/conf/s.xml"
}
set_root "$work/conf/missing/root"
out=$("${tool[@]}" set-state --config "$work/conf/s.xml" running 2>&1 >/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 4 ] || fail "a missing root directory gave rc=$rc [$out]"
case "$out" in *"$work/conf/missing/root, does not exist; nothing was written"*) ;; *) fail "missing root: [$out]" ;; esac
[ -e "$work/conf/missing" ] && fail "a missing root directory was made"
set_root "relative/root"
out=$(cd "$work/conf" && "${tool[@]}" set-sync --config s.xml true 2>&1 >/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 2 ] || fail "a relative root directory gave rc=$rc [$out]"
case "$out" in *"is relative/root, which is no absolute path"*) ;; *) fail "relative root: [$out]" ;; esac
[ -e "$work/conf/relative" ] && fail "a relative root directory was made"

if [ $native = yes ]; then
  # A replaced scenario file keeps its bits, its owner and group (where the tool may set them) and
  # its links.
  cp "$scenario" "$work/secret.xml"
  chmod 0640 "$work/secret.xml"
  owner=$(id -u) group=$(id -g)
  if [ "$(id -u)" = 0 ]; then owner=4321 group=4322; chown $owner:$group "$work/secret.xml"; fi
  expect 0 "" set "$work/secret.xml" Scenario.ScenarioName secret
  [ "$(stat -c '%a %u %g' "$work/secret.xml")" = "640 $owner $group" ] \
    || fail "the replaced file is $(stat -c '%a %u %g' "$work/secret.xml"), was 640 $owner $group"
  mkdir -p "$work/real"
  cp "$scenario" "$work/real/s.xml"
  ln -s real/s.xml "$work/relative-link.xml"
  ln -s "$work/relative-link.xml" "$work/chained-link.xml"
  for link in relative-link.xml chained-link.xml; do
    expect 0 "" set "$work/$link" Scenario.ScenarioComment "through $link"
    [ -L "$work/$link" ] || fail "$link is no longer a link"
    expect 0 "through $link" get "$work/real/s.xml" Scenario.ScenarioComment
    expect 0 "through $link" get "$work/$link" Scenario.ScenarioComment
  done
  ls "$work/real" | grep -q -E '\.(tmp|lock)$' && fail "a temporary or lock file was left: $(ls "$work/real")"
  # A second writer that cannot have the file in time fails with the reason (exit 1).
  ( exec 9>"$work/real/s.xml.lock"; sleep 30 ) &
  blocker=$!
  sleep 0.2
  # The blocker holds no share-mode lock, so it does not count: the lock is the protocol, not the name.
  expect 0 "" set "$work/real/s.xml" Scenario.ScenarioComment "beside a stray lock name"
  kill $blocker 2>/dev/null; wait $blocker 2>/dev/null
fi
echo "writer checks passed"
