#!/usr/bin/env bash
# Completion as a person meets it: an interactive bash, zsh and fish in tmux,
# keys sent with send-keys and the screen read with capture-pane, against the
# simulator while it serves, answers garbage, hangs, and after it has stopped.
# Each wait is bounded; with nothing to offer, the keys must come back within
# two seconds and add nothing to the line.
# Usage: check_completion.sh BRELVO_CLI BRELVO_SIM COMPLETIONS_DIR
set -euo pipefail
cli=$1 sim=$2 completions=$(cd "$3" && pwd)

command -v tmux >/dev/null || { echo "skipped: tmux is not installed"; exit 77; }
shells=(bash)
for shell in zsh fish; do
  if command -v "$shell" >/dev/null; then shells+=("$shell"); else echo "note: $shell is not installed"; fi
done

dir=$(mktemp -d)
export TMUX_TMPDIR=$dir
unset TMUX
socket=completion
sim_pid=""
stop_sim() {
  [ -z "$sim_pid" ] && return
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
}
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  stop_sim
  rm -rf "$dir"
}
trap cleanup EXIT

fail() {
  echo "FAIL [$1]: $2"
  echo "--- screen ---"
  screen "$1"
  echo "--------------"
  exit 1
}

# The application's default place for its control file, in a home of our own.
control=$dir/data/Brelvo/control.json
start_sim() {
  "$sim" --control "$control" "$@" >/dev/null 2>&1 &
  sim_pid=$!
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$control" ] && return
    sleep 0.05
  done
  echo "FAIL: the simulator wrote no control file"; exit 1
}

mkdir -p "$dir/bin" "$dir/home" "$dir/zsh"
ln -s "$cli" "$dir/bin/brelvo-cli"
printf '%s\n' "PS1='\$ '" "source '$completions/brelvo-cli.bash'" >"$dir/bashrc"
printf '%s\n' "PROMPT='\$ '" "fpath=('$completions' \$fpath)" \
  'autoload -Uz compinit' 'compinit -u -D' >"$dir/zsh/.zshrc"
printf '%s\n' "set -g fish_greeting ''" 'set -g fish_autosuggestion_enabled 0' \
  "function fish_prompt; printf '\$ '; end" 'function fish_right_prompt; end' \
  "source '$completions/brelvo-cli.fish'" >"$dir/init.fish"
printf '%s\n' 'set -g status off' 'set -g default-terminal screen' >"$dir/tmux.conf"

environment=(env -i "HOME=$dir/home" "PATH=$dir/bin:/usr/bin:/bin" TERM=screen LANG=C.UTF-8
             "XDG_DATA_HOME=$dir/data" "ZDOTDIR=$dir/zsh")
declare -A start=(
  [bash]="bash --noprofile --rcfile $dir/bashrc -i"
  [zsh]="zsh -d -i"
  [fish]="fish --no-config -i -C 'source $dir/init.fish'"
)

tmux_() { tmux -L "$socket" -f "$dir/tmux.conf" "$@"; }
# Keys for the shell $1; targets name the session exactly.
keys() { tmux_ send-keys -t "=$1:" "${@:2}"; }
# The screen's text without trailing blank lines.
screen() { tmux_ capture-pane -p -t "=$1:" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'; }

# Waits up to $2 seconds until the command after it succeeds on the screen of shell $1.
wait_screen() {
  local shell=$1 seconds=$2 i
  shift 2
  for ((i = 0; i < seconds * 20; i++)); do
    "$@" "$(screen "$shell")" && return
    sleep 0.05
  done
  return 1
}
# The screen keeps no blanks at the ends of lines.
is_text() { [ "$2" = "$(sed 's/ *$//' <<<"$1")" ]; }
ends_with_prompt() { [ "$(tail -n 1 <<<"$1" | sed 's/ *$//')" = '$' ]; }
shows_all() {
  local text=${*: -1} word
  for word in "${@:1:$#-1}"; do grep -Eq -- "$word" <<<"$text" || return 1; done
}

# A clear screen with only the prompt, then the text typed after it.
type_line() {
  # A Ctrl-C that lands in a completion still running ends only that.
  local tries
  for ((tries = 0; tries < 5; tries++)); do
    keys "$1" C-c
    wait_screen "$1" 1 ends_with_prompt && break
  done
  ((tries < 5)) || fail "$1" "the line was not cancelled"
  keys "$1" C-l
  wait_screen "$1" 5 is_text '$' || fail "$1" "no fresh prompt"
  keys "$1" -l "$2"
  wait_screen "$1" 5 is_text "\$ $2" || fail "$1" "the typed line did not show"
}

# Tab twice after the text: every pattern shows on the screen, and none of
# the patterns after `--` shows outside the prompt lines.
offers() {
  local shell=$1 text=$2
  shift 2
  local -a wanted=() unwanted=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do wanted+=("$1"); shift; done
  [ $# -gt 0 ] && shift && unwanted=("$@")
  type_line "$shell" "$text"
  keys "$shell" Tab Tab
  wait_screen "$shell" 5 shows_all "${wanted[@]}" || fail "$shell" "'$text<Tab><Tab>' did not offer ${wanted[*]}"
  local word below
  below=$(screen "$shell" | grep -v '^\$ ' || true)
  for word in "${unwanted[@]}"; do
    ! grep -Eq -- "$word" <<<"$below" || fail "$shell" "'$text<Tab><Tab>' offered $word"
  done
}

# The keys after the text $3 come back within $1 seconds and leave the line $4.
completes_within() {
  local seconds=$1 shell=$2 text=$3 result=$4
  shift 4
  type_line "$shell" "$text"
  keys "$shell" "$@"
  keys "$shell" -l '#end'
  wait_screen "$shell" "$seconds" is_text "\$ $result#end" || fail "$shell" "'$text' with $* did not give '$result' within $seconds s"
}
completes() { completes_within 5 "$@"; }
# Nothing to offer: the keys come back within two seconds, the line unchanged.
offers_nothing() { completes_within 2 "$1" "$2" "$2" "${@:3}"; }

start_sim
for shell in "${shells[@]}"; do
  if [ "$shell" = bash ]; then
    tmux_ new-session -d -s "$shell" -x 160 -y 40 "${environment[@]}" ${start[$shell]}
  else
    tmux_ new-session -d -s "$shell" -x 160 -y 40 "${environment[*]} ${start[$shell]}"
  fi
done
for shell in "${shells[@]}"; do
  wait_screen "$shell" 10 is_text '$' || fail "$shell" "the shell did not start"
  offers "$shell" 'brelvo-cli comm' 'brelvo-cli commands'
  offers "$shell" 'brelvo-cli exec ' list_models find_elements set_section process_info
  offers "$shell" 'brelvo-cli exec find_elements ' 'limit=' 'name=' 'storey=' 'type='
  offers "$shell" 'brelvo-cli exec find_elements type=IfcWall ' 'limit=' 'storey=' -- '(^| )type='
  offers "$shell" 'brelvo-cli exec set_section axis=' '(^| |=)x +(axis=)?y +(axis=)?z *$' -- 'offset='
  completes "$shell" 'brelvo-cli exec find_elem' 'brelvo-cli exec find_elements ' Tab
  completes "$shell" 'brelvo-cli exec set_section ax' 'brelvo-cli exec set_section axis=' Tab
  completes "$shell" 'brelvo-cli exec set_section axis=y' 'brelvo-cli exec set_section axis=y ' Tab
  offers_nothing "$shell" "brelvo-cli --control $dir/none.json exec " Tab Tab
done
cp "$control" "$dir/stale.json"
stop_sim

start_sim --garbage 1000000
for shell in "${shells[@]}"; do
  offers_nothing "$shell" 'brelvo-cli exec ' Tab Tab
  offers_nothing "$shell" 'brelvo-cli exec find_elements ' Tab Tab
done
stop_sim

# A hung application: each Tab waits its second, then gives up.
start_sim --delay-ms 30000
for shell in "${shells[@]}"; do
  offers_nothing "$shell" 'brelvo-cli exec ' Tab
done
stop_sim

for shell in "${shells[@]}"; do
  offers_nothing "$shell" 'brelvo-cli exec ' Tab Tab
  offers_nothing "$shell" 'brelvo-cli exec find_elements ' Tab Tab
  offers_nothing "$shell" "brelvo-cli --control $dir/stale.json exec " Tab Tab
done
echo "completion check passed (${shells[*]})"
