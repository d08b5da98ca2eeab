#!/usr/bin/env bash
# `watch` of 10,000 scenarios: every one is printed once with its state, its start costs little CPU,
# and then, while nothing changes, it costs next to none (the process's own CPU time, read from
# /proc, not the time on the clock); a change made then is still printed.
# Usage: check_watch_many.sh WORK_DIR COMMAND...   (COMMAND: the tool; no emulator)
# STATS_MNG_SANITIZED=1 in the environment: a sanitizer build, whose reading costs far more CPU.
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$@"
# The scenarios in a RAM file system where there is one: making and removing 20,000 directories on a
# disk may take a minute.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  work=$(mktemp -d /dev/shm/stats_mng_watch_many.XXXXXX) || fail "cannot make a directory in /dev/shm"
fi
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"

/usr/bin/python3 - "$work" "${STATS_MNG_SANITIZED:-0}" "${tool_command[@]}" <<'PY' || fail "the watch of 10,000 scenarios failed (above)"
import os, subprocess, sys, time

work, sanitized, tool = sys.argv[1], sys.argv[2] == "1", sys.argv[3:]
root = work + "/root"
count = 10000
state = ('<?xml version="1.0"?>\n<stats_saver>\n\t<Scenario HostIndex="1" ScenarioID="%d" ScenarioName="s" '
         'State="Running" IsSyncReplicated="True" IsSyncReplicatedTime="1700000100"/>\n</stats_saver>\n')
for i in range(count):
    d = "%s/s%05d/.mw_zq_prefix" % (root, i)
    os.makedirs(d)
    with open(d + "/stats.xml", "w") as f:
        f.write(state % i)

def cpu(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

started = time.monotonic()
watcher = subprocess.Popen(tool + ["watch", root], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
lines = [watcher.stdout.readline() for _ in range(count)]
took = time.monotonic() - started
start_cpu = cpu(watcher.pid)
assert all(" current engine=inactive state=Running synced=true" in l for l in lines), lines[:3]
assert len({l.split()[1] for l in lines}) == count
print("watch of %d scenarios: all printed %.2f s after it started, %.2f s of CPU" % (count, took, start_cpu))
if not sanitized:
    assert start_cpu < 2.0, start_cpu
time.sleep(3)
idle = cpu(watcher.pid) - start_cpu
print("then %.0f ms of CPU in 3 s without changes" % (idle * 1000))
subprocess.run(tool + ["set-state", root + "/s04242", "stop"], check=True)
line = watcher.stdout.readline()
assert line.split()[1].endswith("/root/s04242") and line.split()[2:] == ["state", "Running", "->", "Stop"], line
watcher.terminate()
rc = watcher.wait(timeout=30)
err = watcher.stderr.read()
assert rc == 0, (rc, err)
if "polling instead" in err:
    # Not enough inotify watches left for this user on this machine: polling reads every few seconds.
    print("the watch polled (%s): its idle cost was not checked" % err.strip())
else:
    assert err == "", err
    assert idle < 0.05, idle
PY
echo "watch of many scenarios checks passed"
