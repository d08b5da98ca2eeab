#!/usr/bin/env bash
# An engine's lock as the tool shows it: `hold` in the background, `active` from another process.
# Usage: check_engine_lock.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
mkdir -p "$work/scenario"

expect 4 "" active "$work/missing"
expect 3 inactive active "$work/scenario"

# Held until it lets go by itself.
# Long enough for a second engine to give up first (it tries again for about a second).
"${tool[@]}" hold "$work/scenario" --seconds 8 >"$work/hold.out" 2>&1 &
holder=$!
wait_for_holding || fail "hold did not report holding: $(cat "$work/hold.out")"
expect 0 active active "$work/scenario"
expect 1 "" hold "$work/scenario" --seconds 1
wait "$holder" || fail "hold exited non-zero"
grep -q '^released ' "$work/hold.out" || fail "hold did not report the release"
expect 3 inactive active "$work/scenario"

# Held until killed: the lock goes with the process. The first holder's output is removed first:
# the background shell empties the file only when it runs, and the wait below must not read the
# first holder's "holding" line before that.
rm -f "$work/hold.out"
"${tool[@]}" hold "$work/scenario" >"$work/hold.out" 2>&1 &
holder=$!
wait_for_holding || fail "hold did not report holding: $(cat "$work/hold.out")"
expect 0 active active "$work/scenario"
kill -9 "$holder"
wait "$holder" 2>/dev/null
holder=
for _ in $(seq 1 100); do
  out=$("${tool[@]}" active "$work/scenario" 2>/dev/null | tr -d '\r')
  [ "$out" = inactive ] && break
  sleep 0.05
done
expect 3 inactive active "$work/scenario"
rm -rf "$work"
echo "engine lock checks passed"
