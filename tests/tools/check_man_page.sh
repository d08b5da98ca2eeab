#!/usr/bin/env bash
# The manual page made at build time holds what the tool's help says: a section for every command
# the help lists, in it every option and argument of that command's help, an exit-status entry
# equal to the help's own "Exit status:" sentence; the examples use only commands and options that
# exist; and man renders the page without a warning.
# Usage: check_man_page.sh TOOL PAGE
set -uo pipefail
tool=$1 page=$2
[ -s "$page" ] || { echo "FAIL: no manual page at $page" >&2; exit 1; }

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The page as plain words: roff escapes for '-' and '\' undone, font changes dropped.
plain() { sed -e 's/\\-/-/g' -e 's/\\f[BIR]//g' -e 's/\\e/\\/g' -e 's/\\&//g'; }

# section_of COMMAND: the lines of the command's subsection (from its .SS to the next .SS or .SH).
section_of() {
  awk -v head=".SS \"stats\\\\-mng $(sed 's/-/\\\\-/g' <<<"$1") " '
    index($0, head) == 1 || $0 == substr(head, 1, length(head) - 1) "\"" { on = 1; print; next }
    on && /^\.(SS|SH)/ { on = 0 }
    on { print }' "$page"
}

# names_in_help HELP BLOCK: the first word of every entry of a block ("Options:", "Positionals:").
names_in_help() {
  awk -v block="$2" '$0 == block { on = 1; next } on && /^$/ { on = 0 } on && /^  [^ ]/ { print $1 }' <<<"$1"
}

mapfile -t commands < <(names_in_help "$("$tool" --help)" "Subcommands:")
[ ${#commands[@]} -ge 16 ] || fail "the help lists only ${#commands[@]} commands"
# The same commands as the tool's own definitions (a command listed under another heading of the
# help would be missing from the page).
defined=$("$tool" --complete '' | sort)
[ "$(printf '%s\n' "${commands[@]}" | sort)" = "$defined" ] ||
  fail "the help lists [${commands[*]}], the tool defines [$(echo $defined)]"
exit_section=$(awk '/^\.SH EXIT STATUS/ { on = 1; next } on && /^\.SH/ { on = 0 } on' "$page" | plain)

for command in "${commands[@]}"; do
  help=$("$tool" "$command" --help)
  section=$(section_of "$command" | plain)
  [ -n "$section" ] || { fail "no section for $command"; continue; }
  for name in $(names_in_help "$help" "Options:" | tr ',' ' ') $(names_in_help "$help" "Positionals:"); do
    grep -qF -- "$name" <<<"$section" || fail "$command: $name is in its help but not in its section"
  done
  # The exit status as the help states it, under the command's name.
  stated=$(grep -o 'Exit status: .*' <<<"$help" | sed 's/^Exit status: //')
  [ -n "$stated" ] || fail "$command: its help states no exit status"
  listed=$(awk -v name="$command" 'prev == ".TP" && $0 == name { getline; print } { prev = $0 }' <<<"$exit_section")
  [ "$listed" = "$stated" ] || fail "$command: EXIT STATUS lists [$listed], its help says [$stated]"
done
grep -q '^any command$' <<<"$exit_section" || fail "EXIT STATUS has no entry for the usage errors"

# Examples: "$ stats-mng COMMAND ... --option" lines name commands and options the tool has.
examples=$(awk '/^\.SH EXAMPLES/ { on = 1; next } on && /^\.SH/ { on = 0 } on' "$page" | plain)
example_count=0
while read -r line; do
  words=(${line#*stats-mng })
  command=${words[0]}
  help=$("$tool" "$command" --help 2>/dev/null) || { fail "example uses an unknown command: $line"; continue; }
  example_count=$((example_count + 1))
  for word in "${words[@]}"; do
    [[ $word == --* ]] || continue
    names_in_help "$help" "Options:" | tr ',' '\n' | grep -qx -- "$word" || fail "example uses $word, not an option of $command"
  done
done < <(grep -E '(^\$ |root )stats-mng ' <<<"$examples")
[ "$example_count" -ge 5 ] || fail "only $example_count examples found"

if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports: $warnings"
else
  echo "note: man is not installed; the page was not rendered"
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "manual page: ${#commands[@]} commands, $example_count examples checked"
