#!/usr/bin/env bash
# The bash completion loaded into a shell as bash does it, completing command lines through the
# function it registers: commands (all that --help lists), options, fixed argument words (from the
# option definitions and the library's tables) and file or directory names. Run with bash's
# completion framework loaded (as on a Debian system) and without it.
# Usage: check_completion.sh WORK_DIR COMPLETION_SCRIPT TOOL
set -uo pipefail
work=$1 script=$2 tool=$3

rm -rf "$work"
mkdir -p "$work/bin" "$work/cwd/scen1" "$work/cwd/scen2"
: >"$work/cwd/scenario.xml"
: >"$work/cwd/sub file.xml"
ln -s "$tool" "$work/bin/stats-mng"
export PATH="$work/bin:$PATH"
cd "$work/cwd" || exit 1

failures=0
fail() {
  echo "FAIL ($setting): $*" >&2
  failures=$((failures + 1))
}

# complete_line LINE: what the registered function offers for LINE with the cursor at its end,
# sorted, one a line.
complete_line() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_TYPE=9 COMP_KEY=9
  COMPREPLY=()
  local registered function
  registered=$(complete -p stats-mng 2>/dev/null) || { echo "<no completion registered>"; return; }
  function=$(sed -n 's/.*-F \([^ ]*\) .*/\1/p' <<<"$registered")
  "$function" stats-mng "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  [ ${#COMPREPLY[@]} -gt 0 ] && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}

# expect_completion LINE WORD...: the offers are exactly WORD... (in any order).
expect_completion() {
  local line=$1
  shift
  local got want
  got=$(complete_line "$line")
  want=$([ $# -gt 0 ] && printf '%s\n' "$@" | LC_ALL=C sort)
  [ "$got" = "$want" ] || fail "'$line' offered [$(echo $got)], wanted [$*]"
}

checks() {
  local registered
  registered=$(complete -p stats-mng 2>&1)
  [[ $registered == *"-F _stats_mng stats-mng" ]] || fail "complete -p: $registered"

  # Every command the tool's help lists, and nothing else, without a list kept in the script.
  local commands
  mapfile -t commands < <(stats-mng --help | awk '/^Subcommands:$/ { on = 1; next } on && /^$/ { on = 0 } on { print $1 }')
  [ ${#commands[@]} -ge 16 ] || fail "the help lists only ${#commands[@]} commands"
  expect_completion "stats-mng " "${commands[@]}"
  expect_completion "stats-mng se" set set-state set-sync
  expect_completion "stats-mng --log-dir scen1 se" set set-state set-sync

  # Fixed words of arguments.
  expect_completion "stats-mng set-state scen1 " running stop
  expect_completion "stats-mng set-state scen1 r" running
  expect_completion "stats-mng set-state --config scenario.xml " running stop
  expect_completion "stats-mng set-sync scen1 " true false
  expect_completion "stats-mng set-state scen1 running " # all positionals given
  expect_completion "stats-mng get scenario.xml Switchover.HeartbeatTimeout --host " manager
  expect_completion "stats-mng set scenario.xml Report.status x --host " manager all
  expect_completion "stats-mng set-state scen1 stop --host " # a number only
  expect_completion "stats-mng get scenario.xml Switchover.Heartb" Switchover.HeartbeatTimeout
  expect_completion "stats-mng fits Produ" Product
  expect_completion "stats-mng fits Product " Dr Ha Cd Rw
  expect_completion "stats-mng fits Bool " True False
  expect_completion "stats-mng fits Number " # any number
  expect_completion "stats-mng default-object --product " Dr Ha Cd Rw
  expect_completion "stats-mng default-object RootD" RootDir
  expect_completion "stats-mng wait scen1 --for eng" engine=active engine=inactive

  # Every type the completion offers is one fits takes (exit 0 or 1, never 2 for an unknown type),
  # and every object tag one default-object knows.
  local types type tags tag
  mapfile -t types < <(complete_line "stats-mng fits ")
  [ ${#types[@]} -ge 20 ] || fail "fits offered only ${#types[@]} types: ${types[*]}"
  for type in Number Bool IPAddr Date MultiEntry Product Application Bandwidth; do
    [[ " ${types[*]} " == *" $type "* ]] || fail "fits does not offer $type"
  done
  for type in "${types[@]}"; do
    stats-mng fits "$type" x >/dev/null 2>&1
    [ $? -ne 2 ] || fail "fits refuses the offered type $type"
  done
  mapfile -t tags < <(complete_line "stats-mng default-object ")
  [ ${#tags[@]} -ge 60 ] || fail "default-object offered only ${#tags[@]} tags"
  for tag in "${tags[@]:0:8}" "${tags[@]: -4}"; do
    stats-mng default-object "$tag" >/dev/null 2>&1
    [ $? -ne 2 ] || fail "default-object refuses the offered tag $tag"
  done

  # Options: those of the command given, less those already given once.
  expect_completion "stats-mng list --json --" --depth --help --metrics --write
  expect_completion "stats-mng state --j" --json
  expect_completion "stats-mng --tr" --trace-settings

  # File and directory names, where the argument is one (a name with a space stays one word).
  expect_completion "stats-mng set-state s" scen1 scen2
  expect_completion "stats-mng list scen1 s" scen1 scen2
  expect_completion "stats-mng --log-dir s" scen1 scen2
  expect_completion "stats-mng validate s" scen1 scen2 scenario.xml "sub file.xml"
  expect_completion "stats-mng set-state --config su" "sub file.xml"
}

# The tool's own answers where the shell's word splitting differs with and without the framework.
setting=tool
[ "$(stats-mng --complete set x y --host=m)" = "--host=manager" ] || fail "--host=m gave $(stats-mng --complete set x y --host=m)"
[ "$(stats-mng --complete state '')" = "@dir" ] || fail "state DIR gave $(stats-mng --complete state '')"
# Words that are no command, option or text: nothing offered, no failure.
out=$(stats-mng --complete $'\xff\xfe' --no-such-option '' 2>&1) && [ -z "$out" ] || fail "bytes that are no UTF-8 gave [$out]"
out=$(stats-mng --complete set-state "$(head -c 5000 /dev/zero | tr '\0' x)" '' 2>&1) && [ "$out" = $'running\nstop' ] ||
  fail "a 5000-byte DIR gave [$out]"

framework=/usr/share/bash-completion/bash_completion
if [ -r "$framework" ]; then
  setting="with bash-completion"
  # shellcheck disable=SC1090
  (source "$framework" && source "$script" && { checks; exit "$failures"; }) || failures=$((failures + 1))
else
  echo "note: $framework is not installed; checked without it only"
fi
setting="bash alone"
# shellcheck disable=SC1090
(source "$script" && { checks; exit "$failures"; }) || failures=$((failures + 1))

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "completion: all checks passed"
