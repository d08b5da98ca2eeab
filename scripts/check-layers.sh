#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a layer above its own. The layers, lowest first:
# platform, utl, file, xml, xmc, stats_mng.
set -u
cd "$(dirname "$0")/.."
layers=(platform utl file xml xmc stats_mng)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
status=0
while IFS= read -r file; do
  own=$(rank "$(echo "$file" | cut -d/ -f2)")
  [ "$own" -ge 0 ] || continue
  while IFS= read -r included; do
    other=$(rank "$included")
    if [ "$other" -gt "$own" ]; then
      echo "layering: $file includes a header of $included, a layer above its own" >&2
      status=1
    fi
  done < <(sed -n 's@^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)/.*@\1@p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)
[ $status = 0 ] && echo "layering: no include climbs (platform < utl < file < xml < xmc < stats_mng)"
exit $status
