#!/usr/bin/env bash
# The folders depend on each other in one direction only:
#   core  <-  config, db, response  <-  front ends (app, inventory)
# and no front end talks ODBC itself. Lists every include that breaks this.
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
cd "$root"

# folder -> the project folders its files may include
declare -A allowed=(
  [core]="core"
  [config]="core config"
  [db]="core db"
  [response]="core response"
  [app]="core config db response app"
  [inventory]="core config db response inventory"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")
    target=${included%%/*}
    ok=no
    for permitted in ${allowed[$folder]}; do
      [ "$target" = "$permitted" ] && ok=yes
    done
    if [ "$ok" = no ]; then
      echo "$file includes $included" >&2
      status=1
    fi
  done < <(grep -rHE '^#include "' "$folder" --include='*.h' --include='*.cc' || true)
done

# ODBC stays inside db/.
if grep -rlE '^#include <(sql|sqlext)\.h>' core config response app inventory 2>/dev/null; then
  echo "the files above include the ODBC headers outside db/" >&2
  status=1
fi
# Nor through another header: the front ends' sources, with every header they
# pull in, never reach the ODBC headers.
for front in app inventory; do
  [ -d "$front" ] || continue
  for source in "$front"/*.cc; do
    if "${CXX:-g++}" -std=c++17 -I. -DKALVYNEX_VERSION='"0"' -M "$source" | grep -qE '/sql(ext)?\.h'; then
      echo "$source reaches the ODBC headers" >&2
      status=1
    fi
  done
done

[ "$status" -eq 0 ] && echo "layering: every include points down"
exit "$status"
