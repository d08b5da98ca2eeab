#!/usr/bin/env bash
# The layering check of the source tree: the project's own src/ passes, and trees planted here with
# an include that climbs or includes that go round in a circle fail, naming what is wrong.
# Usage: check_layers.sh WORK_DIR CHECK_SCRIPT PROJECT_SRC
set -u
work=$1 check=$2 project_src=$3
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# plant TREE FILE:INCLUDE,INCLUDE... : each file with a quoted include per named header, plus a
# system header (never followed).
plant() {
  local tree=$work/$1 planted file includes header
  shift
  for planted in "$@"; do
    file=${planted%%:*}
    includes=${planted#*:}
    mkdir -p "$tree/$(dirname "$file")"
    : >"$tree/$file"
    [ "$includes" = "$planted" ] && continue
    IFS=, read -ra headers <<<"$includes"
    for header in "${headers[@]}"; do echo "#include \"$header\"" >>"$tree/$file"; done
    echo "#include <string>" >>"$tree/$file"
  done
}

# expect NAME STATUS ROOT TEXT... : the check on ROOT ends with STATUS and its output holds each TEXT
# as a whole line.
expect() {
  local name=$1 status=$2 root=$3 out got text
  shift 3
  out=$(bash "$check" "$root" 2>&1)
  got=$?
  [ "$got" = "$status" ] || fail "$name: status $got, not $status; said:"$'\n'"$out"
  for text in "$@"; do
    grep -qxF -- "$text" <<<"$out" || fail "$name: no line [$text] in:"$'\n'"$out"
  done
  # Each circle is told once, whichever of its members the search met first.
  if [ "$(grep -c '^layering: circle' <<<"$out")" != "$(grep '^layering: circle' <<<"$out" | sort -u | wc -l)" ]; then
    fail "$name: a circle told twice:"$'\n'"$out"
  fi
}

# The project as it stands.
expect "the project's src" 0 "$project_src" \
  "layering: no include climbs (platform < utl < file < xml < xmc < stats_mng) and no include circles"

# Includes that only go down, a diamond, a split class whose parts begin with its header, and a file
# that defines what a lower header declares: no circle.
plant clean platform/base.h platform/base.cpp:platform/base.h \
  utl/left.h:platform/base.h utl/right.h:platform/base.h utl/top.h:utl/left.h,utl/right.h \
  utl/top.cpp:utl/top.h,utl/left.h \
  xmc/conf.h:utl/top.h xmc/conf.cpp:xmc/conf.h xmc/conf_part.cpp:xmc/conf.h,utl/left.h \
  xmc/derived.h:xmc/conf.h xmc/derived.cpp:xmc/derived.h \
  platform/statics.h stats_mng/statics.cpp:platform/statics.h,xmc/derived.h \
  xmc/uses_statics.cpp:xmc/derived.h,platform/statics.h
expect "a clean tree" 0 "$work/clean" \
  "layering: no include climbs (platform < utl < file < xml < xmc < stats_mng) and no include circles"
[ "$(bash "$check" "$work/clean/" 2>&1)" = "layering: no include climbs (platform < utl < file < xml < xmc < stats_mng) and no include circles" ] ||
  fail "a root given with a trailing separator is not the same root"

# Two modules whose source files include each other's header.
plant pair utl/a.h utl/a.cpp:utl/a.h,utl/b.h utl/b.h utl/b.cpp:utl/b.h,utl/a.h
expect "two modules" 1 "$work/pair" \
  "layering: circle utl/a -> utl/b -> utl/a" "  utl/a.cpp includes utl/b.h" "  utl/b.cpp includes utl/a.h"

# Three headers round.
plant three xml/a.h:xml/b.h xml/b.h:xml/c.h xml/c.h xml/c.cpp:xml/c.h,xml/a.h xml/d.h:xml/a.h
expect "three modules" 1 "$work/three" \
  "layering: circle xml/a -> xml/b -> xml/c -> xml/a" \
  "  xml/a.h includes xml/b.h" "  xml/b.h includes xml/c.h" "  xml/c.cpp includes xml/a.h"

# A part of a class (no header of its own, the class's header first) that needs a class built on it.
plant part xmc/conf.h xmc/conf.cpp:xmc/conf.h xmc/conf_defaults.cpp:xmc/conf.h,xmc/derived.h \
  xmc/derived.h:xmc/conf.h
expect "a part of a class" 1 "$work/part" \
  "layering: circle xmc/conf -> xmc/derived -> xmc/conf" "  xmc/conf_defaults.cpp includes xmc/derived.h"

# The system-specific source files of a header are its module.
plant variant platform/p.h platform/p_posix.cpp:platform/p.h,platform/q.h platform/p_win32.cpp:platform/p.h \
  platform/q.h platform/q.cpp:platform/q.h,platform/p.h
expect "a system-specific file" 1 "$work/variant" \
  "layering: circle platform/p -> platform/q -> platform/p" "  platform/p_posix.cpp includes platform/q.h"

# Two circles sharing a module are both told, and the climb beside them too.
plant both file/hub.h file/hub.cpp:file/hub.h,file/x.h,file/y.h file/x.h:file/hub.h file/y.h:file/hub.h \
  utl/low.cpp:xml/high.h xml/high.h
expect "two circles and a climb" 1 "$work/both" \
  "layering: circle file/hub -> file/x -> file/hub" "layering: circle file/hub -> file/y -> file/hub" \
  "layering: $work/both/utl/low.cpp includes a header of xml, a layer above its own"

# A root that is no folder.
expect "no such root" 2 "$work/missing" "layering: $work/missing is no folder"

[ "$failures" = 0 ] && echo "check_layers: all checks passed"
[ "$failures" = 0 ]
