#!/usr/bin/env bash
# Builds the Debian package from a build directory and checks its contents:
# the program, its manual page and completions, nothing else in bin, and a
# program that runs once unpacked.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

(cd "$out" && cpack --config "$build_dir/CPackConfig.cmake" -G DEB >/dev/null)
deb=$(ls "$out"/*.deb)
echo "built $(basename "$deb")"

fail() { echo "FAIL: $*"; exit 1; }
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
echo "$contents"
for f in ./usr/bin/brelvo-cli ./usr/share/man/man1/brelvo-cli.1 \
         ./usr/share/bash-completion/completions/brelvo-cli ./usr/share/zsh/vendor-completions/_brelvo-cli \
         ./usr/share/fish/vendor_completions.d/brelvo-cli.fish; do
  grep -qx "$f" <<<"$contents" || fail "$f is not in the package"
done
[ "$(grep -c '^\./usr/bin/.' <<<"$contents")" -eq 1 ] || fail "only brelvo-cli belongs in /usr/bin"
dpkg-deb -f "$deb" Package | grep -qx brelvo-cli || fail "wrong package name"

dpkg-deb -x "$deb" "$out/root"
"$out/root/usr/bin/brelvo-cli" --version | grep -q '"brelvo-cli": "3.0.0"' || fail "packaged program does not run"
echo "package check passed"
