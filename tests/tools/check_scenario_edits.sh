#!/usr/bin/env bash
# Scenario files an operator keeps and edits by hand, changed by the tool's set: only the value's
# bytes change (the comment, CDATA, declaration, line ends and entity spellings stay); texts XML
# cannot carry are refused naming the field; files the reader refuses are reported with line,
# column and reason on standard error and in the trace log; validate reports what the load passes
# over (a repeated attribute, a character reference).
# Usage: check_scenario_edits.sh WORK_DIR COMMAND...   (COMMAND: the tool, emulator first)
set -u
source "$(dirname "$0")/tool_checks.sh"
begin_checks "$1" "${@:2}"
mkdir -p "$work"
have_xmllint=false
command -v xmllint >/dev/null && have_xmllint=true

"${tool[@]}" default-object Scenario --product Ha --application FileServer 2>/dev/null | tr -d '\r' > "$work/default.xml"
[ "${PIPESTATUS[0]}" = 0 ] || fail "default-object Scenario failed"
# As an operator keeps it: a declaration with encoding and standalone, comments, a CDATA section,
# a value with the apostrophe an editor writes as &apos;, CRLF line ends.
awk '
  NR == 1 { print "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"; next }
  /label="HeartbeatTimeout"/ { print "\t\t\t<!-- why this timeout: the link to the replica is slow -->" }
  /label="ScenarioComment"/ { print "\t<![CDATA[ kept & raw ]]>"; sub(/val=""/, "val=\"O\\&apos;Brien \\&amp; Sons\"") }
  { print }' "$work/default.xml" | sed 's/$/\r/' > "$work/operator.xml"
grep -q "O&apos;Brien &amp; Sons" "$work/operator.xml" || fail "the operator's file was not made: $(head -c 400 "$work/operator.xml")"

# set_case NAME EXPECTED_CHANGED_LINES SET_ARGS... : the set exits 0, the file becomes exactly
# $work/expected, diff shows that many old lines, and the file loads, validates as before and is
# well-formed for a standard parser.
set_case() {
  local name=$1 lines=$2
  shift 2
  local file="$work/edit.xml"
  cp "$work/operator.xml" "$file"
  local before_validate after_validate
  before_validate=$("${tool[@]}" validate "$file" 2>&1 | tr -d '\r')
  "${tool[@]}" set "$file" "$@" 2>"$work/stderr" || fail "$name: set exited with $? ($(cat "$work/stderr"))"
  cmp -s "$file" "$work/expected" || fail "$name: the file is not the old one with the value changed: $(diff "$work/expected" "$file" | head -20)"
  local changed
  changed=$(diff "$work/operator.xml" "$file" | grep -c '^<')
  [ "$changed" = "$lines" ] || fail "$name: diff shows $changed old lines, wanted $lines"
  after_validate=$("${tool[@]}" validate "$file" 2>&1 | tr -d '\r')
  [ "$after_validate" = "$before_validate" ] || fail "$name: validate said [$after_validate], before [$before_validate]"
  if $have_xmllint; then xmllint --noout "$file" 2>"$work/stderr" || fail "$name: xmllint refuses it: $(cat "$work/stderr")"; fi
}

sed 's/label="HeartbeatTimeout" val="30"/label="HeartbeatTimeout" val="20"/' "$work/operator.xml" > "$work/expected"
set_case scalar 1 Switchover.HeartbeatTimeout 20
sed 's/label="ScenarioName" val="Scenario"/label="ScenarioName" val="Mail \&amp; \&lt;7\&gt;"/' "$work/operator.xml" > "$work/expected"
set_case "scalar with markup" 1 Scenario.ScenarioName "Mail & <7>"
awk '/label="Port" val="25000"/ && ++n == 2 { sub(/val="25000"/, "val=\"26000\"") } { print }' "$work/operator.xml" > "$work/expected"
set_case "host 2" 1 CommonHostProps.Port 26000 --host 2
sed 's/label="Compress" val="True"/label="Compress" val="False"/' "$work/operator.xml" > "$work/expected"
set_case "all hosts" 2 CommonHostProps.Compress False --host all
awk '/label="EmailAddressTo"/ && ++n == 5 {
       indent = $0; sub(/<.*/, "", indent)
       sub(/"\/>\r$/, "\">\r"); print
       print indent "\t<data label=\"EmailAddressTo\" val=\"a@example.invalid\" type=\"String\"/>\r"
       print indent "\t<data label=\"EmailAddressTo\" val=\"b@example.invalid\" type=\"String\"/>\r"
       print indent "</data>\r"; next }
     { print }' "$work/operator.xml" > "$work/expected"
set_case list 1 ReportNotifyEmail.EmailAddressTo a@example.invalid b@example.invalid --host 2

# The same value again writes nothing at all.
cp "$work/operator.xml" "$work/same.xml"
touch -d '2001-01-01' "$work/same.xml"
expect 0 "" set "$work/same.xml" Switchover.HeartbeatTimeout 30
[ "$(find "$work/same.xml" -newermt '2002-01-01')" = "" ] || fail "setting the value a field holds rewrote the file"

# Texts XML cannot carry: refused naming the field, the file untouched.
refuse_text() {
  local name=$1 field=$2 value=$3 why=$4
  shift 4
  cp "$work/operator.xml" "$work/refuse.xml"
  "${tool[@]}" set "$work/refuse.xml" "$field" "$value" "$@" >/dev/null 2>"$work/stderr"
  local rc=$?
  [ "$rc" = 1 ] || fail "$name: set exited with $rc"
  # One line: the file, the field, then the library's reason.
  tr -d '\r' <"$work/stderr" | grep -qxF "stats-mng: $work/refuse.xml: $field: $why" \
    || fail "$name: standard error [$(cat "$work/stderr")], wanted [stats-mng: $work/refuse.xml: $field: $why]"
  cmp -s "$work/refuse.xml" "$work/operator.xml" || fail "$name: the file changed"
}
refuse_text "control character" Scenario.ScenarioComment $'a\x01c' \
  'Unable to set "Scenario.ScenarioComment", the text holds a control character (below 0x20, other than tab), which XML cannot carry'
refuse_text "escape character" Scenario.ScenarioName $'\x1b[31mred' \
  'Unable to set "Scenario.ScenarioName", the text holds a control character (below 0x20, other than tab), which XML cannot carry'
refuse_text "list entry with a control character" ReportNotifyEmail.EmailAddressTo $'b\x02@example.invalid' \
  'Unable to set list strings of "EmailAddressTo", an entry holds a control character (below 0x20, other than tab), which XML cannot carry' --host 2
if [ "$tool_words" -eq 1 ]; then
  # (Natively only: a Windows command line carries characters, not bytes.)
  refuse_text "Latin-1 byte" Scenario.ScenarioComment $'caf\xe9' \
    'Unable to set "Scenario.ScenarioComment", the text is not valid UTF-8 text'
  refuse_text "surrogate" Scenario.ScenarioComment $'\xed\xa0\x80' \
    'Unable to set "Scenario.ScenarioComment", the text is not valid UTF-8 text'
fi

# Files the reader refuses: where and why, on standard error and in the trace log.
refused_file() {
  local name=$1 why=$2
  local file="$work/$name.xml"
  rm -rf "$work/logs"
  "${tool[@]}" --log-dir "$work/logs" get "$file" Scenario.ScenarioID >/dev/null 2>"$work/stderr"
  local rc=$?
  [ "$rc" = 2 ] || fail "$name: get exited with $rc"
  local want="stats-mng: cannot load $file: it cannot be read as an XML document: $why"
  [ "$(tr -d '\r' < "$work/stderr")" = "$want" ] || fail "$name: standard error [$(cat "$work/stderr")], wanted [$want]"
  grep -qF "$file, $why" "$work/logs/stats_mng.log" || fail "$name: the trace log does not say [$file, $why]: $(tail -5 "$work/logs/stats_mng.log")"
}
# As a standard library writes it: the declaration in single quotes.
printf "<?xml version='1.0' encoding='us-ascii'?>\n<object label=\"Scenario\" id=\"1000\" />\n" > "$work/single-quoted.xml"
refused_file single-quoted "line 1, column 15: attribute values and the declaration take double quotes"
printf '<?xml version="1.0"?>\n<object label="Scenario" id="1000">\n  <data label=\x27ScenarioID\x27 val="7"/>\n</object>\n' > "$work/single-quoted-value.xml"
refused_file single-quoted-value "line 3, column 15: attribute values and the declaration take double quotes"
printf '<?xml version="1.0"?>\n<!DOCTYPE object>\n<object label="Scenario" id="1000"/>\n' > "$work/doctype.xml"
refused_file doctype "line 2, column 1: a DOCTYPE, which this reader does not read"
{ printf '<?xml version="1.0"?>\n<object label="Scenario" id="1000">\n'
  printf '<a>%.0s' $(seq 1 1000); printf '</a>%.0s' $(seq 1 1000); printf '\n</object>\n'; } > "$work/deep.xml"
refused_file deep "line 3, column 2998: elements are nested deeper than 1000 levels"
printf '<?xml version="1.0"?>\n<object label="Scenario" id="1000">\n  <data label="x" val="1">\n</object>\n' > "$work/unclosed.xml"
refused_file unclosed "line 4, column 1: the end tag </object> does not close <data>"
printf '<?xml version="1.0"?>\n<object label="Scenario" id="1000">\n  <?pi x?>\n</object>\n' > "$work/instruction.xml"
refused_file instruction "line 3, column 3: a processing instruction, which this reader does not read"

# What loads but reads otherwise than another XML reader reads it: findings of validate with their place.
findings_of() {
  "${tool[@]}" validate "$1" 2>&1 | tr -d '\r'
}
awk '/label="ScenarioID"/ { sub(/type="Number"/, "type=\"Number\" type=\"Text\"") } { print }' "$work/default.xml" > "$work/repeated.xml"
line=$(grep -n 'label="ScenarioID"' "$work/repeated.xml" | cut -d: -f1)
column=$(( $(grep 'label="ScenarioID"' "$work/repeated.xml" | awk '{ print index($0, "type=\"Text\"") }') ))
out=$(findings_of "$work/repeated.xml")
case "$out" in
  *"line $line, column $column: the attribute type is written again (\"Number\", then \"Text\"); the load keeps the last"*) ;;
  *) fail "validate of a repeated attribute printed [$out]" ;;
esac
out=$(findings_of "$work/operator.xml")
line=$(grep -n 'O&apos;Brien' "$work/operator.xml" | cut -d: -f1)
case "$out" in
  *"line $line, column 38: the reference &apos; in val is read as written here, but as a character by other XML readers"*) ;;
  *) fail "validate of a reference printed [$out]" ;;
esac
sed 's/label="ScenarioName" val="Scenario"/label="ScenarioName" val="A \&AMP; B"/' "$work/default.xml" > "$work/capitals.xml"
line=$(grep -n 'A &AMP; B' "$work/capitals.xml" | cut -d: -f1)
out=$(findings_of "$work/capitals.xml")
case "$out" in
  *"line $line, column 36: the reference &AMP; in val is read as a character here, but other XML readers know no such entity and refuse the file"*) ;;
  *) fail "validate of an entity in capitals printed [$out]" ;;
esac
rm -rf "$work"
echo "scenario edit checks passed"
