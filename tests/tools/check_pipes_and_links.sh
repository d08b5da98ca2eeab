#!/usr/bin/env bash
# Links, pipes and devices where a scenario's lock file or state file belongs, with the same answers
# from either build (the Windows one under its emulator meets them as the host made them).
# Usage: check_pipes_and_links.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
mkdir -p "$work/scenarios" "$work/elsewhere"
root="$work/scenarios"

# expect_failure RC TEXT ARGS...: the tool exits with RC and its standard error holds TEXT; no
# command may wait for ever on what it meets.
expect_failure() {
  local want_rc=$1 want_err=$2
  shift 2
  local err rc
  err=$(timeout 60 "${tool_command[@]}" "$@" 2>&1 >/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  [ "$rc" = "$want_rc" ] || fail "$* gave rc=$rc, wanted $want_rc [$err]"
  case "$err" in *"$want_err"*) ;; *) fail "$* said [$err], wanted [$want_err]" ;; esac
}

scenario() { mkdir -p "$root/$1/.mw_zq_prefix"; echo "$root/$1"; }

# A lock file that is a link: followed, so that the engine holds the file it leads to and a second
# engine meets it there. The file is not emptied, and the link stays a link.
linked=$(scenario linked)
printf 'kept\n' >"$work/elsewhere/lock"
ln -s ../../../elsewhere/lock "$linked/.mw_zq_prefix/state.lock"
expect 3 inactive active "$linked"
"${tool[@]}" hold "$linked" --seconds 6 >"$work/hold.out" 2>&1 &
holder=$!
wait_for_holding || fail "hold through a link did not report holding: $(cat "$work/hold.out")"
expect 0 active active "$linked"
expect_failure 1 "cannot take the writer lock" hold "$linked" --seconds 1
wait "$holder" || fail "hold through a link exited non-zero"
holder=
[ -L "$linked/.mw_zq_prefix/state.lock" ] || fail "the link in the lock file's place was replaced"
if [ "$tool_words" -eq 1 ]; then
  # (A Windows build under an emulator does not see the host's links as links: it opens the file
  # they lead to as its own lock file, which an engine empties.)
  [ "$(cat "$work/elsewhere/lock")" = kept ] || fail "the file the lock's link leads to was changed"
fi
expect 3 inactive active "$linked"

# A link that leads nowhere: no engine; an engine taking it makes the file it names.
dangling=$(scenario dangling)
ln -s ../../../elsewhere/made "$dangling/.mw_zq_prefix/state.lock"
expect 3 inactive active "$dangling"
expect 0 "holding $dangling/.mw_zq_prefix/state.lock
released $dangling/.mw_zq_prefix/state.lock" hold "$dangling" --seconds 0.2
[ -L "$dangling/.mw_zq_prefix/state.lock" ] && [ -f "$work/elsewhere/made" ] \
  || fail "a dangling lock link was not followed to a new file"

# A pipe as the state file: no state, and nothing waits for a writer on it; a change refuses it.
piped=$(scenario piped)
mkfifo "$piped/.mw_zq_prefix/stats.xml"
expect 1 Unknown state "$piped"
expect_failure 1 "it is no regular file (a pipe or a device); nothing is written" set-state "$piped" running
[ -p "$piped/.mw_zq_prefix/stats.xml" ] || fail "a pipe as the state file was replaced"

# A link to an endless device as the state file: the same, and the device is never renamed over.
endless=$(scenario endless)
ln -s /dev/zero "$endless/.mw_zq_prefix/stats.xml"
expect 1 Unknown state "$endless"
expect_failure 1 "it is no regular file (a pipe or a device); nothing is written" set-state "$endless" running
expect_failure 1 "it is no regular file (a pipe or a device); nothing is written" set-sync "$endless" true --time 5
[ -c /dev/zero ] || fail "/dev/zero is no device any more"
[ -L "$endless/.mw_zq_prefix/stats.xml" ] || fail "the link to a device was replaced"

# A pipe in the place of the file `list --write` replaces (or of a scenario file `set` changes) is
# refused and stays a pipe; nothing waits on it. (Natively: under the emulator it is no pipe.)
if [ "$tool_words" = 1 ]; then
  mkfifo "$work/metrics.prom" "$work/fifo.xml"
  expect_failure 1 "metrics.prom is no regular file (a pipe, a device or a socket)" list "$root" --metrics --write "$work/metrics.prom"
  [ -p "$work/metrics.prom" ] || fail "list --write replaced a pipe with a file"
  expect_failure 2 "fifo.xml is no regular file (a pipe, a device or a socket)" set "$work/fifo.xml" Switchover.HeartbeatTimeout 20
  [ -p "$work/fifo.xml" ] || fail "set replaced a pipe with a file"
fi

# A pipe and a device as the lock file: no engine can hold them, and a listing says it cannot ask.
pipe_lock=$(scenario pipe-lock)
mkfifo "$pipe_lock/.mw_zq_prefix/state.lock"
device_lock=$(scenario device-lock)
ln -s /dev/null "$device_lock/.mw_zq_prefix/state.lock"
for dir in "$pipe_lock" "$device_lock"; do
  expect_failure 1 "cannot take the writer lock" hold "$dir" --seconds 1
  # What could not be asked is no answer: not "inactive" but "unknown", exit 1, and the reason.
  expect_failure 1 "cannot be told: cannot ask the lock file" active "$dir"
  expect 1 unknown active "$dir"
done
# Nor is a state file that cannot be read a "false".
for dir in "$piped" "$endless"; do
  expect_failure 1 "could not be read" synced "$dir"
  expect_failure 1 "could not be read" state "$dir"
done

# The listing: what it could not ask shows as unread, the same on both builds.
out=$(timeout 120 "${tool_command[@]}" list --json "$root" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
rc=$?
[ "$rc" = 1 ] || fail "list gave rc=$rc [$out]"
for name in piped endless; do
  case "$out" in
    *"scenarios/$name\",\"read\":false,\"error\":\"cannot read its state file: "*) ;;
    *) fail "list did not say the state file of $name cannot be read: [$out]" ;;
  esac
done
for name in pipe-lock device-lock; do
  case "$out" in
    *"scenarios/$name\",\"read\":false,\"error\":\"cannot ask the lock file: "*) ;;
    *) fail "list did not say the lock file of $name cannot be asked: [$out]" ;;
  esac
done
for name in linked dangling; do
  case "$out" in
    *"scenarios/$name\",\"read\":true,\"engine_active\":false"*) ;;
    *) fail "list did not read $name: [$out]" ;;
  esac
done
rm -rf "$work"
echo "pipe, device and link checks passed"
