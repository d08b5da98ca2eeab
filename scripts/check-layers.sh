#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a layer above its own, or when includes go round
# in a circle. The layers, lowest first: platform, utl, file, xml, xmc, stats_mng.
#
# Circles are looked for between modules: a header with the source files that carry its code (X.h,
# X.cpp, X_posix.cpp, X_win32.cpp). A source file without a header of its own belongs to the module
# of the first header it includes when that header is in its own folder, as each part of a class
# split by concern begins with the class's header; so a part that reaches up to a module that itself
# needs the class is a circle too. (stats_mng/library_statics.cpp, which defines what
# platform/thl/library_statics.h declares for every layer, begins with a header of another folder
# and stays a module of its own.)
#
# Usage: scripts/check-layers.sh [SOURCE_ROOT]
#   SOURCE_ROOT: the folder holding the layer folders (default: src/ of this project); a test runs
#   the check on a tree of its own with it. Exit status 0 clean, 1 a climb or circle, 2 no such folder.
set -u
if [ $# -ge 1 ]; then
  root=${1%/}
else
  cd "$(dirname "$0")/.."
  root=src
fi
[ -d "$root" ] || { echo "layering: $root is no folder" >&2; exit 2; }
layers=(platform utl file xml xmc stats_mng)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

# The files, relative to the root.
files=()
while IFS= read -r file; do files+=("${file#"$root"/}"); done \
  < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | LC_ALL=C sort)

# The headers and inline tables of the tree a file includes by a quoted name, in order.
tree_includes() {
  local included
  while IFS= read -r included; do
    [ -f "$root/$included" ] && echo "$included"
  done < <(sed -n 's@^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*@\1@p' "$root/$1")
}

# The module a file belongs to.
module_of() {
  local file=$1 stem=${1%.*} base first
  case $file in
    *.cpp)
      [ -f "$root/$stem.h" ] && { echo "$stem"; return; }
      base=${stem%_posix}
      base=${base%_win32}
      [ "$base" != "$stem" ] && [ -f "$root/$base.h" ] && { echo "$base"; return; }
      first=$(tree_includes "$file" | head -n 1)
      [ -n "$first" ] && [ "${first%/*}" = "${file%/*}" ] && { echo "${first%.*}"; return; }
      echo "$stem" ;;
    *) echo "$stem" ;;
  esac
}

status=0
edges=()
for file in "${files[@]}"; do
  own=$(rank "${file%%/*}")
  module=$(module_of "$file")
  while IFS= read -r included; do
    [ -n "$included" ] || continue
    if [ "$own" -ge 0 ]; then
      other=$(rank "${included%%/*}")
      if [ "$other" -gt "$own" ]; then
        echo "layering: $root/$file includes a header of ${included%%/*}, a layer above its own" >&2
        status=1
      fi
    fi
    target=${included%.*}
    [ "$target" != "$module" ] && edges+=("$module $target $file $included")
  done < <(tree_includes "$file")
done

# Every circle among the modules, each once (depth first; a step back onto the path is a circle),
# with the include that makes each of its steps.
circles=$(printf '%s\n' "${edges[@]}" | LC_ALL=C sort -k1,1 -k2,2 -u | awk '
  NF == 4 {
    key = $1 SUBSEP $2
    if (!(key in why)) {
      why[key] = $3 " includes " $4
      next_of[$1] = next_of[$1] " " $2
    }
    if (!($1 in seen)) { seen[$1] = 1; order[++nodes] = $1 }
    if (!($2 in seen)) { seen[$2] = 1; order[++nodes] = $2 }
  }
  END {
    for (n = 1; n <= nodes; ++n) {
      start = order[n]
      if (color[start] != 0) continue
      sp = 1; stack[1] = start; at[1] = 0; color[start] = 1; depth[start] = 1
      while (sp > 0) {
        v = stack[sp]
        count = split(next_of[v], targets, " ")
        if (at[sp] < count) {
          w = targets[++at[sp]]
          if (color[w] == 0) {
            stack[++sp] = w; at[sp] = 0; color[w] = 1; depth[w] = sp
          } else if (color[w] == 1) {
            # The circle from w round to w, written from its least member so it is reported once.
            len = 0
            for (i = depth[w]; i <= sp; ++i) ring[++len] = stack[i]
            least = 1
            for (i = 2; i <= len; ++i) if (ring[i] < ring[least]) least = i
            line = ""; steps = ""
            for (i = 0; i < len; ++i) {
              a = ring[(least - 1 + i) % len + 1]; b = ring[(least + i) % len + 1]
              line = line a " -> "
              steps = steps "\n  " why[a, b]
            }
            line = line ring[least]
            if (!(line in told)) { told[line] = 1; print "layering: circle " line steps }
          }
        } else {
          color[v] = 2; --sp
        }
      }
    }
  }')
if [ -n "$circles" ]; then
  echo "$circles" >&2
  status=1
fi
[ $status = 0 ] &&
  echo "layering: no include climbs (platform < utl < file < xml < xmc < stats_mng) and no include circles"
exit $status
