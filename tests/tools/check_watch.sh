#!/usr/bin/env bash
# Waiting for and watching scenario changes with real processes: `wait` ends when another process
# records the state or an engine holding the scenario is killed, ends at once when the condition
# already holds and with 1 at its timeout, and costs next to nothing while it waits; `watch --json`
# prints exactly the changes another process makes, in order, each once.
# Usage: check_watch.sh WORK_DIR COMMAND...   (COMMAND: the tool, with its emulator first)
# STATS_MNG_SANITIZED=1 in the environment: a sanitizer build, whose start alone costs more CPU.
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
mkdir -p "$work/s" "$work/root/a" "$work/root/b" "$work/root/c"
py=/usr/bin/python3

# Exit statuses and what is printed.
expect 4 "" wait "$work/missing" --for state=Running
expect 2 "" wait "$work/s" --for state=Bogus
expect 2 "" wait "$work/s" --for engine
expect 2 "" wait "$work/s"
expect 2 "" wait "$work/s" --for state=Running --timeout -1
expect 2 "" watch
expect 4 "" watch "$work/missing"
expect 4 "" watch "$work/root" "$work/missing"
# No state directory yet: nothing recorded, no engine; nothing is made by asking.
expect 0 inactive wait "$work/s" --for engine=inactive
expect 0 false wait "$work/s" --for synced=false
expect 1 "Unknown" wait "$work/s" --for state=Stop --timeout 0
[ -e "$work/s/.mw_zq_prefix" ] && fail "wait made the state directory"
"${tool[@]}" set-state "$work/s" stop >/dev/null 2>&1 || fail "set-state s failed"
expect 0 Stop wait "$work/s" --for STATE=stop
err=$("${tool[@]}" wait "$work/s" --for state=Running --timeout 0 2>&1 >/dev/null | tr -d '\r')
[ "$err" = "stats-mng: the time passed before state=Running held" ] || fail "the timeout said [$err]"
out=$("${tool[@]}" wait "$work/s" --for engine=inactive --json 2>/dev/null | tr -d '\r')
"$py" -c '
import json, sys
o = json.loads(sys.argv[1])
assert list(o) == ["directory", "state", "index", "read", "recorded", "active", "synced", "condition", "met"], o
assert o["state"] == "Stop" and o["index"] == 1 and o["read"] is True and o["recorded"] is True and o["active"] is False, o
assert o["synced"] is False and o["condition"] == "engine=inactive" and o["met"] is True, o
assert o["directory"].rstrip("/").endswith("/s"), o
' "$out" || fail "wait --json printed [$out]"

for d in a b c; do
  "${tool[@]}" set-state "$work/root/$d" stop >/dev/null 2>&1 || fail "set-state $d failed"
done

"$py" - "$work" "${STATS_MNG_SANITIZED:-0}" "${tool_command[@]}" <<'PY' || fail "the timed and watched checks failed (above)"
import json, os, signal, subprocess, sys, time

work, sanitized, tool = sys.argv[1], sys.argv[2] == "1", sys.argv[3:]
emulated = len(tool) > 1            # under Wine: process starts are slow, CPU is the emulator's
settle = 3.0 if emulated else 0.5   # time for a started wait or watch to set up its watches
s = work + "/s"

def run(*args):
    r = subprocess.run(tool + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert r.returncode == 0, (args, r.returncode, r.stderr)
    return r.stdout.replace("\r", "")

def start(*args, out=subprocess.PIPE):
    return subprocess.Popen(tool + list(args), stdout=out, stderr=subprocess.PIPE, text=True)

def ended(p, limit=30):
    out, err = p.communicate(timeout=limit)
    return p.returncode, out.replace("\r", "").strip(), err

def hold(directory):
    h = start("hold", directory)
    line = h.stdout.readline()
    assert line.startswith("holding "), line
    return h

# A recorded state ends a wait that is already waiting, within half a second.
w = start("wait", s, "--for", "state=Running", "--timeout", "60")
time.sleep(settle)
assert w.poll() is None, "wait ended before the state was recorded"
recording = time.monotonic()   # set-state records the state some time after it starts: late is at most this
run("set-state", s, "running")
rc, out, err = ended(w)
late = time.monotonic() - recording
print("wait --for state=Running ended %.3f s after set-state started" % late)
assert rc == 0 and out == "Running", (rc, out, err)
assert late < 0.5, late

# A killed engine ends a wait for engine=inactive within two seconds.
h = hold(s)
w = start("wait", s, "--for", "engine=inactive", "--timeout", "60")
time.sleep(settle)
assert w.poll() is None, "wait ended while the engine held the scenario"
h.send_signal(signal.SIGKILL)
h.wait()
killed = time.monotonic()
rc, out, err = ended(w)
late = time.monotonic() - killed
print("wait --for engine=inactive ended %.3f s after the holder was killed" % late)
assert rc == 0 and out == "inactive", (rc, out, err)
assert late < 2.0, late

# A condition already true ends at once; a timeout ends with 1 near its time.
t = time.monotonic()
rc, out, err = ended(start("wait", s, "--for", "state=Running", "--timeout", "60"))
print("wait on a condition already true took %.3f s" % (time.monotonic() - t))
assert rc == 0 and out == "Running", (rc, out, err)
t = time.monotonic()
rc, out, err = ended(start("wait", s, "--for", "state=Sync", "--timeout", "1.5"))
took = time.monotonic() - t
print("wait --timeout 1.5 took %.3f s" % took)
assert rc == 1 and out == "Running", (rc, out, err)
assert 1.5 <= took < (6.0 if emulated else 2.5), took

# Idle cost: the process's own CPU time over ten seconds of waiting on an unchanging scenario.
if not emulated:
    def cpu_of(*args):
        p = subprocess.Popen(tool + list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(status)
        assert p.returncode == 1, p.returncode
        return usage.ru_utime + usage.ru_stime
    at_once = cpu_of("wait", s, "--for", "state=Sync", "--timeout", "0")
    ten = cpu_of("wait", s, "--for", "state=Sync", "--timeout", "10")
    print("CPU: wait ending at once %.1f ms, waiting 10 s %.1f ms" % (at_once * 1000, ten * 1000))
    assert ten - at_once < 0.05, (ten, at_once)
    if not sanitized:
        assert ten < 0.05, ten

# watch --json over three scenarios while other processes make 20 changes, one after the other.
root = work + "/root"
out_path = work + "/watch.jsonl"
with open(out_path, "w") as out_file:
    watcher = start("watch", root, "--json", out=out_file)

def lines():
    with open(out_path) as f:
        return [l for l in f.read().replace("\r", "").split("\n") if l]

def wait_lines(n, limit=20):
    end = time.monotonic() + limit
    while time.monotonic() < end and len(lines()) < n:
        assert watcher.poll() is None, watcher.stderr.read()
        time.sleep(0.02)
    return lines()

first = wait_lines(3)
assert len(first) == 3, first
current = [json.loads(l) for l in first]
assert [c["change"] for c in current] == ["current"] * 3, current
assert [c["directory"].rstrip("/").split("/")[-1] for c in current] == ["a", "b", "c"], current
assert all(c["state"] == "Stop" and c["engine_active"] is False for c in current), current
time.sleep(settle)

holders = {}
def take(d):
    holders[d] = hold(root + "/" + d)
def kill(d):
    holders[d].send_signal(signal.SIGKILL)
    holders[d].wait()
def mkscenario(d):
    os.makedirs(root + "/" + d + "/.mw_zq_prefix")
def remove(d):
    os.rename(root + "/" + d, work + "/" + d + "-moved-away")   # gone in one step

# Each step, and the one change it makes: scenario, change, and the answer afterwards.
steps = [
    (lambda: run("set-state", root + "/a", "running"), "a", "state", ("state", "Running")),
    (lambda: run("set-state", root + "/b", "running"), "b", "state", ("state", "Running")),
    (lambda: run("set-state", root + "/c", "running"), "c", "state", ("state", "Running")),
    (lambda: run("set-state", root + "/a", "stop"), "a", "state", ("state", "Stop")),
    (lambda: take("b"), "b", "engine", ("engine_active", True)),
    (lambda: kill("b"), "b", "engine", ("engine_active", False)),
    (lambda: run("set-sync", root + "/c", "true", "--time", "1700000001"), "c", "sync", ("sync_time", 1700000001)),
    (lambda: run("set-sync", root + "/c", "true", "--time", "1700000002"), "c", "sync", ("sync_time", 1700000002)),
    (lambda: run("set-state", root + "/b", "stop"), "b", "state", ("state", "Stop")),
    (lambda: run("set-state", root + "/a", "running"), "a", "state", ("state", "Running")),
    (lambda: take("a"), "a", "engine", ("engine_active", True)),
    (lambda: kill("a"), "a", "engine", ("engine_active", False)),
    (lambda: run("set-state", root + "/b", "running"), "b", "state", ("state", "Running")),
    (lambda: run("set-sync", root + "/a", "true", "--time", "1700000003"), "a", "sync", ("synced", True)),
    (lambda: run("set-state", root + "/c", "stop"), "c", "state", ("state", "Stop")),
    (lambda: mkscenario("d"), "d", "appeared", ("state", "Unknown")),
    (lambda: run("set-state", root + "/d", "running"), "d", "state", ("state", "Running")),
    # Under Wine a watched directory cannot be moved away (its notification handle holds it).
    (lambda: remove("d"), "d", "gone", ("state", "Running")) if not emulated else
    (lambda: run("set-state", root + "/d", "stop"), "d", "state", ("state", "Stop")),
    (lambda: run("set-state", root + "/a", "stop"), "a", "state", ("state", "Stop")),
    (lambda: run("set-state", root + "/b", "stop"), "b", "state", ("state", "Stop")),
]
assert len(steps) == 20
for i, (act, _, _, _) in enumerate(steps):
    act()
    wait_lines(3 + i + 1)
time.sleep(1.5 if not emulated else 4)   # anything late or twice would show now (a re-check included)
watcher.send_signal(signal.SIGTERM)
# Wine ends a program on SIGTERM without its C runtime's handler.
assert watcher.wait(timeout=30) in ((0, -signal.SIGTERM) if emulated else (0,)), "watch did not end well on SIGTERM"
seen = [json.loads(l) for l in lines()[3:]]   # every line is JSON
got = [(c["directory"].rstrip("/").split("/")[-1], c["change"], c[key] if key in c else None)
       for c, (_, _, _, (key, _)) in zip(seen, steps)]
want = [(d, change, value) for _, d, change, (_, value) in steps]
assert len(seen) == 20, "watch printed %d changes, not 20:\n%s" % (len(seen), "\n".join(lines()[3:]))
assert got == want, "\n".join("%s  %s" % (g, w) for g, w in zip(got, want))
times = [c["time"] for c in seen]
assert times == sorted(times) and all(t.endswith("Z") and len(t) == 24 for t in times), times
assert seen[0]["before"] == {"state": "Stop", "state_index": 1}, seen[0]
print("watch --json printed the 20 changes in order, each once")
PY
# Without inotify watches to spare, wait polls, says so, and still ends when the state is recorded.
# The limit is lowered in a user namespace of this check's own (the machine's is left alone).
if [ "$tool_words" = 1 ] && unshare -U -r sh -c 'echo 1 > /proc/sys/user/max_inotify_watches' 2>/dev/null; then
  unshare -U -r sh -c 'echo 1 > /proc/sys/user/max_inotify_watches && exec "$@"' sh "${tool_command[@]}" \
    wait "$work/s" --for state=Stop --timeout 60 >"$work/poll.out" 2>"$work/poll.err" &
  holder=$!
  sleep 1
  "${tool[@]}" set-state "$work/s" stop >/dev/null 2>&1 || fail "set-state s stop failed"
  wait "$holder"
  rc=$?
  holder=
  [ "$rc" = 0 ] && [ "$(cat "$work/poll.out")" = Stop ] || fail "the polling wait gave rc=$rc [$(cat "$work/poll.out")]"
  grep -q '^stats-mng: change notification is not available (cannot watch .*: the limit of inotify watches is reached (fs.inotify.max_user_watches)): polling instead$' \
    "$work/poll.err" || fail "the polling wait did not say why: $(cat "$work/poll.err")"
elif [ "$tool_words" != 1 ]; then
  echo "the polling fall-back was not checked: the tool runs under an emulator"
else
  echo "the polling fall-back was not checked: no user namespace to lower the inotify limit in"
fi
# A watch piped into a reader that leaves (head -1) ends, though nothing changes after the reader
# went: with 1 and the reason on standard error. (On Windows only a failed write tells, at the
# next change: checked natively.)
if [ "$tool_words" = 1 ]; then
  timeout 20 "${tool_command[@]}" watch "$work/root" 2>"$work/head.err" | head -1 >"$work/head.out"
  rc=${PIPESTATUS[0]}
  [ "$rc" = 1 ] || fail "watch | head -1 gave rc=$rc (124: it did not end)"
  grep -q "^[0-9T:.-]*Z $work/root/a current engine=inactive state=Stop" "$work/head.out" ||
    fail "watch | head -1 printed [$(cat "$work/head.out")]"
  [ "$(cat "$work/head.err")" = "stats-mng: the changes could not be written to the standard output: its reader has gone" ] ||
    fail "watch | head -1 said [$(cat "$work/head.err")]"
fi
rm -rf "$work"
echo "wait and watch checks passed"
