#!/usr/bin/env bash
# Includes point only downward: main -> mcp -> bridge -> json, platform, and
# sim -> bridge, json, platform. json and platform include nothing of ours but
# themselves; the generated version header (src/version) serves the layers
# above them. json's internals (src/json/internal) are json's alone. Tests,
# benchmarks and fuzz targets may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layers that a layer may include, itself first.
allowed_layers() {
  case "$1" in
    main) echo "main mcp bridge json platform version" ;;
    mcp) echo "mcp bridge json platform version" ;;
    bridge) echo "bridge json platform version" ;;
    sim) echo "sim bridge json platform version" ;;
    json | platform | version) echo "$1" ;;
    *) return 1 ;;
  esac
}

# The layer of a source file: its directory under src/, or sim.
layer_of() {
  case "$1" in
    src/*/*) local rest=${1#src/}; echo "${rest%%/*}" ;;
    sim/*) echo sim ;;
  esac
}

failures=0
fail() {
  echo "check_layers: $*" >&2
  failures=$((failures + 1))
}

for dir in src/*/; do
  layer=$(basename "$dir")
  allowed_layers "$layer" >/dev/null || fail "$dir is no known layer: give it its place in scripts/check_layers.sh"
done

# Every quoted include: "layer/file.h" names a layer, a bare "file.h" is the
# including file's own directory.
while IFS=: read -r file line target; do
  layer=$(layer_of "$file")
  allowed=$(allowed_layers "$layer") || continue
  case "$target" in
    */*) included=${target%%/*} ;;
    *) included=$layer ;;
  esac
  if [[ " $allowed " != *" $included "* ]]; then
    fail "$file:$line includes \"$target\", but $layer may include only: $allowed"
  fi
  if [[ "$target" == json/internal/* && "$layer" != json ]]; then
    fail "$file:$line includes \"$target\", which only src/json may include"
  fi
done < <(grep -rnE --include='*.h' --include='*.cc' --include='*.h.in' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src sim |
         sed -E 's/^([^:]+):([0-9]+):[^"]*"([^"]*)".*/\1:\2:\3/')

if [ "$failures" -ne 0 ]; then
  echo "check_layers: $failures problem(s) with the layering" >&2
  exit 1
fi
echo "check_layers: every include points downward"
