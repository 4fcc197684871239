#!/usr/bin/env bash
# Builds brelvo-cli and the simulator, starts the simulator with a control
# file of its own, runs a few commands against it, and stops it again.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target brelvo-cli brelvo-sim >/dev/null

cli=build/dev/src/main/brelvo-cli
work=$(mktemp -d)
build/dev/sim/brelvo-sim --control "$work/control.json" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do [ -s "$work/control.json" ] && break; sleep 0.02; done

show() {
  printf '\n$ brelvo-cli %s\n' "$*"
  "$cli" --control "$work/control.json" "$@" || printf '(exit code %d)\n' $?
}
printf '$ brelvo-cli --version\n'
"$cli" --version
show status
show commands --names
show exec find_elements type=IfcDoor limit=3
show run examples/inspect.jsonl
show screenshot --out "$work/view.png"
show exec delete_element id=no-such-element
