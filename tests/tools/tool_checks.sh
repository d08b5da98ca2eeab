# Shared by the tool checks (sourced): the work directory and the tool command, a failure report,
# and "expect".

# begin_checks WORK COMMAND...: WORK (emptied) in "work", the tool with its emulator first in "tool".
begin_checks() {
  work=$1
  shift
  tool=("$@")
  rm -rf "$work"
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
