#!/usr/bin/env bash
# Writes the manual page stats-mng(1) from the tool's own help: the description and global options
# of `stats-mng --help`, then every command its help lists, each from `stats-mng COMMAND --help`
# (usage, arguments, options, notes), and a table of the exit statuses the helps state. The parts
# help does not hold (examples, files, see also) come from SECTIONS, written in roff.
# Usage: gen_man_page.sh TOOL SECTIONS OUTPUT
set -euo pipefail
tool=$1 sections=$2 output=$3

version=$("$tool" --version)
top=$("$tool" --help)
commands=$(awk '/^Subcommands:$/ { on = 1; next } on && /^$/ { on = 0 } on && /^  [^ ]/ { print $1 }' <<<"$top")
[ -n "$commands" ] || { echo "gen_man_page.sh: no commands in the help of $tool" >&2; exit 1; }
# The page's date: SOURCE_DATE_EPOCH when the build sets one, so that the page is reproducible.
date=$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +%Y-%m-%d)

# help_to_roff MODE < HELP: one help text as roff. MODE "top" writes NAME, SYNOPSIS, DESCRIPTION
# and OPTIONS; "command" one subsection of COMMANDS. Every "Exit status:" sentence also goes to
# the file named by the variable "exits", after the command's name.
read -r -d '' help_to_roff <<'AWK' || true
function esc(text) {
  gsub(/\\/, "\\e", text)
  return text
}
function line_start(text) {
  if (text ~ /^[.']/) return "\\&" text
  return text
}
function dash(text) {
  gsub(/-/, "\\-", text)
  return text
}
# An entry's left column: names in bold, the value's placeholder in italics.
function entry_tag(left, positional,   n, parts, i, tag) {
  n = split(left, parts, " ")
  if (positional) tag = "\\fI" esc(parts[1]) "\\fR"
  else tag = "\\fB" dash(esc(parts[1])) "\\fR"
  for (i = 2; i <= n; i++) tag = tag " \\fI" esc(parts[i]) "\\fR"
  return tag
}
function flush_entry() {
  if (left == "") return
  print ".TP"
  print line_start(entry_tag(left, block == "Positionals:"))
  print line_start(esc(desc))
  left = ""; desc = ""
}
function note(text,   at) {
  at = index(text, "Exit status:")
  if (at > 0) print name "\t" substr(text, at + length("Exit status:") + 1) >> exits
  print ".PP"
  print line_start(esc(text))
}
BEGIN { part = "summary"; summary = "" }
part == "summary" && /^Usage: / {
  usage = substr($0, 8)
  part = "blocks"
  if (mode == "top") {
    split(summary, first, "\n")
    sub(/^[^:]*: */, "", first[1])
    sub(/\.$/, "", first[1])
    print ".SH NAME"
    print "stats-mng \\- " esc(first[1])
    print ".SH SYNOPSIS"
    print "\\fBstats\\-mng\\fR [\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]"
    print ".br"
    print "\\fBstats\\-mng\\fR \\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR"
    print ".br"
    print "\\fBstats\\-mng\\fR \\fICOMMAND\\fR \\fB\\-\\-help\\fR"
    print ".SH DESCRIPTION"
    n = split(summary, lines, "\n")
    for (i = 1; i <= n; i++) { if (i > 1) print ".PP"; print line_start(esc(lines[i])) }
  } else {
    print ".SS \"" dash(esc(usage)) "\""
    n = split(summary, lines, "\n")
    for (i = 1; i <= n; i++) { if (i > 1) print ".PP"; print line_start(esc(lines[i])) }
  }
  next
}
part == "summary" { summary = summary (summary == "" ? "" : "\n") $0; next }
/^(Options|Positionals|Subcommands):$/ {
  flush_entry()
  block = $0
  if (mode == "top" && block == "Options:") print ".SH OPTIONS"
  next
}
block != "" && /^$/ { flush_entry(); block = ""; next }
block == "Subcommands:" { next }
block != "" && /^  [^ ]/ {
  flush_entry()
  text = substr($0, 3)
  gap = index(text, "  ")
  if (gap > 0) {
    left = substr(text, 1, gap - 1)
    desc = substr(text, gap)
    sub(/^ +/, "", desc)
  } else {
    left = text; desc = ""
  }
  next
}
block != "" && /^   / {
  text = $0
  sub(/^ +/, "", text)
  desc = desc (desc == "" ? "" : " ") text
  next
}
/^$/ { next }
{ flush_entry(); block = ""; note($0) }
END { flush_entry() }
AWK

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exits=$work/exits
: >"$exits"
{
  printf '.TH STATS\\-MNG 1 "%s" "%s" "User Commands"\n' "$date" "$version"
  awk -v mode=top -v name="" -v exits="$exits" "$help_to_roff" <<<"$top"
  echo ".SH COMMANDS"
  for command in $commands; do
    "$tool" "$command" --help | awk -v mode=command -v name="$command" -v exits="$exits" "$help_to_roff"
  done
  echo ".SH EXIT STATUS"
  echo "Each command's exit status, as its help states it:"
  awk -F '\t' '{
      gsub(/\\/, "\\e", $2)
      print ".TP"
      if ($1 == "") print "\\fIany command\\fR"; else { t = $1; gsub(/-/, "\\-", t); print "\\fB" t "\\fR" }
      print $2
    }' "$exits"
  cat "$sections"
} >"$work/page"
mv "$work/page" "$output"
