# Shared by the tool checks (sourced): the work directory and the tool command, a failure report,
# and "expect".

# begin_checks WORK COMMAND...: WORK (emptied) in "work", the tool with its emulator first in "tool"
# ("tool_words": how many words that command has: 1 for the native tool). With STATS_MNG_KEEP_XML
# set, each run of the tool keeps the XML files it made or changed below WORK there
# (scripts/check-xml-outputs.sh reads them with a standard parser); "tool_command" is the command
# itself, for what runs it as a program of its own (timeout, a script of another language).
begin_checks() {
  work=$1
  shift
  tool=("$@")
  tool_command=("$@")
  tool_words=$#
  rm -rf "$work"
  if [ -n "${STATS_MNG_KEEP_XML:-}" ]; then tool=(keep_xml_written "$@"); fi
}

# Runs its arguments and copies each XML file below $work that the run made or changed to
# $STATS_MNG_KEEP_XML; the run's exit status. The files the run before kept are copied again first:
# one written from the tool's output by a pipeline's last command is complete only then.
keep_xml_written() {
  local before after rc word path copy
  # hold writes no XML and is signalled by its process id: it runs as the tool itself.
  for word in "$@"; do [ "$word" = hold ] && exec "$@"; done
  local pending="$STATS_MNG_KEEP_XML/.pending.$$"
  if [ -f "$pending" ]; then
    while IFS=$'\t' read -r path copy; do [ -f "$path" ] && cp "$path" "$copy" 2>/dev/null; done < "$pending"
    : > "$pending"
  fi
  before=$(find "$work" -name '*.xml' -type f -exec cksum {} + 2>/dev/null | sort)
  "$@"
  rc=$?
  after=$(find "$work" -name '*.xml' -type f -exec cksum {} + 2>/dev/null | sort)
  comm -13 <(printf '%s\n' "$before") <(printf '%s\n' "$after") | while read -r _ _ path; do
    [ -n "$path" ] || continue
    copy="$STATS_MNG_KEEP_XML/tool.$$.$RANDOM.$(basename "$path")"
    cp "$path" "$copy" 2>/dev/null && printf '%s\t%s\n' "$path" "$copy" >> "$pending"
  done
  return $rc
}

# wait_for_holding: true once the holder in the background (process "$holder", its output in
# "$work/hold.out") says it holds its lock; false when it ended first or took 15 s.
wait_for_holding() {
  for _ in $(seq 1 300); do
    grep -q '^holding ' "$work/hold.out" 2>/dev/null && return 0
    kill -0 "$holder" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${holder:-}" ]; then kill -9 "$holder" 2>/dev/null; fi
  exit 1
}

# expect RC TEXT ARGS...: the tool run with ARGS exits with RC and prints TEXT (line ends as on Linux).
expect() {
  local want_rc=$1 want_out=$2
  shift 2
  local out rc
  out=$("${tool[@]}" "$@" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  [ "$rc" = "$want_rc" ] && [ "$out" = "$want_out" ] || fail "$* gave rc=$rc [$out], wanted rc=$want_rc [$want_out]"
}
