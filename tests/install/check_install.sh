#!/usr/bin/env bash
# Installs into a scratch DESTDIR and checks what lands where: the program
# runs, the manual page renders without warnings, and the completion scripts
# parse in their shells (bash's also completes a command word).
set -euo pipefail
build_dir=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT

DESTDIR=$dest cmake --install "$build_dir" --prefix /usr >/dev/null

fail() { echo "FAIL: $*"; exit 1; }
for f in usr/bin/brelvo-cli usr/share/man/man1/brelvo-cli.1 \
         usr/share/bash-completion/completions/brelvo-cli usr/share/zsh/vendor-completions/_brelvo-cli \
         usr/share/fish/vendor_completions.d/brelvo-cli.fish; do
  [ -f "$dest/$f" ] || fail "$f is not installed"
done
for name in brelvo-sim brelvo-desktop brelvo Quorna.Brelvo; do
  [ ! -e "$dest/usr/bin/$name" ] || fail "$name must not be installed next to brelvo-cli"
done

"$dest/usr/bin/brelvo-cli" --version | grep -q '"brelvo-cli": "3.0.0"' || fail "installed program does not run"

warnings=$(groff -ww -man -Tutf8 "$dest/usr/share/man/man1/brelvo-cli.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "manual page warnings: $warnings"

bash -n "$dest/usr/share/bash-completion/completions/brelvo-cli" || fail "bash completion does not parse"
completed=$(bash -c '
  source "$1"
  COMP_WORDS=(brelvo-cli --timeout 5 scr); COMP_CWORD=3
  _brelvo_cli; echo "${COMPREPLY[*]}"
  COMP_WORDS=(brelvo-cli commands --na); COMP_CWORD=2
  _brelvo_cli; echo "${COMPREPLY[*]}"' _ "$dest/usr/share/bash-completion/completions/brelvo-cli")
[ "$completed" = $'screenshot\n--names' ] || fail "bash completion gave: $completed"

if command -v zsh >/dev/null; then
  zsh -n "$dest/usr/share/zsh/vendor-completions/_brelvo-cli" || fail "zsh completion does not parse"
fi
if command -v fish >/dev/null; then
  fish --no-execute "$dest/usr/share/fish/vendor_completions.d/brelvo-cli.fish" || fail "fish completion does not parse"
fi
echo "install check passed"
