# bash completion for brelvo-cli
_brelvo_cli() {
  local cur prev words cword
  _init_completion 2>/dev/null || {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  }
  local commands="status commands exec run screenshot open launch mcp help"

  case $prev in
    --control|--out)
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
    --timeout)
      return ;;
  esac

  # The command word is the first word that is neither an option nor its value.
  local i command=""
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --control|--timeout) ((i++)) ;;
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done

  case $command in
    "")
      COMPREPLY=($(compgen -W "$commands --control --timeout --help --version" -- "$cur")) ;;
    commands)
      COMPREPLY=($(compgen -W "--names" -- "$cur")) ;;
    run)
      COMPREPLY=($(compgen -f -- "$cur")) ;;
    open)
      COMPREPLY=($(compgen -W "--add" -- "$cur") $(compgen -f -- "$cur")) ;;
    screenshot)
      COMPREPLY=($(compgen -W "--out" -- "$cur")) ;;
  esac
}
complete -o filenames -F _brelvo_cli brelvo-cli
