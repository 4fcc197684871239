# bash completion for brelvo-cli
#
# After `exec` it asks the running application for its tools and their
# argument keys: each ask is one call of the program, cut off after a second,
# with its output read only where it has the exact indented form. When the
# application is down, hung or answers oddly, nothing more is offered.

# The program's answer to `commands` words, or nothing within a second.
# $1 the program as typed, $2 the control file given on the line (or empty).
_brelvo_cli_ask() {
  local program=$1 control=$2
  shift 2
  command -v timeout >/dev/null || return
  [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
  [[ $control == "~/"* ]] && control=$HOME/${control#"~/"}
  local -a options=()
  [[ -n $control ]] && options=(--control "$control")
  timeout 1 "$program" "${options[@]}" "$@" </dev/null 2>/dev/null
}

# A word that needs no quoting on the line and is not split at `=` or `:`.
_brelvo_cli_plain='[A-Za-z0-9_.@+%,-]+'

# The tool names, one a line.
_brelvo_cli_tools() {
  local line pattern="^  \"($_brelvo_cli_plain)\",?\$"
  while IFS= read -r line; do
    [[ $line =~ $pattern ]] && printf '%s\n' "${BASH_REMATCH[1]}"
  done < <(_brelvo_cli_ask "$1" "$2" commands --names)
}

# The argument keys of tool $3, one a line as `key=`, and each value of a
# key's enum as `key=value`. A string value that would be read as JSON
# (true, 12) is left out: typed bare it would not arrive as a string.
_brelvo_cli_tool_keys() {
  local tool=$3 line name="" key="" value in_schema=0 in_properties=0 in_enum=0
  local -a found=()
  local plain=$_brelvo_cli_plain
  local json_word='^(true|false|null|-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)$'
  while IFS= read -r line; do
    if [[ $line == '  {' ]]; then
      name="" key="" in_schema=0 in_properties=0 in_enum=0 found=()
    elif [[ $line =~ ^\ \ \},?$ ]]; then
      [[ $name == "$tool" ]] && printf '%s\n' "${found[@]}"
    elif [[ $line =~ ^\ {4}\"name\":\ \"($plain)\",?$ ]]; then
      name=${BASH_REMATCH[1]}
    elif [[ $line == '    "inputSchema": {' ]]; then
      in_schema=1
    elif [[ $line =~ ^\ {4}\},?$ ]]; then
      in_schema=0
    elif ((in_schema)) && [[ $line == '      "properties": {' ]]; then
      in_properties=1
    elif ((in_properties)) && [[ $line =~ ^\ {6}\},?$ ]]; then
      in_properties=0
    elif ((in_properties)) && [[ $line == '        "'* ]]; then
      key=""
      [[ $line =~ ^\ {8}\"($plain)\":\  ]] && key=${BASH_REMATCH[1]} && found+=("$key=")
    elif [[ -n $key && $line == '          "enum": [' ]]; then
      in_enum=1
    elif ((in_enum)) && [[ $line =~ ^\ {10}\],?$ ]]; then
      in_enum=0
    elif ((in_enum)) && [[ $line =~ ^\ {12}\"($plain)\",?$ ]]; then
      value=${BASH_REMATCH[1]}
      [[ $value =~ $json_word ]] || found+=("$key=$value")
    elif ((in_enum)) && [[ $line =~ ^\ {12}($plain),?$ ]]; then
      found+=("$key=${BASH_REMATCH[1]}")
    fi
  done < <(_brelvo_cli_ask "$1" "$2" commands)
}

# Completes the words after `exec`: the tool, then its keys and enum values.
# The line is split at blanks only, so that key=value stays one word. These
# words are no file names: quoted as such, `key=` would become `key\=`.
_brelvo_cli_exec() {
  compopt +o filenames 2>/dev/null
  local -a line
  read -ra line <<<"${COMP_LINE:0:COMP_POINT}"
  [[ $COMP_POINT -gt 0 && ${COMP_LINE:COMP_POINT-1:1} == [[:space:]] ]] && line+=("")
  local current=${line[-1]} control="" command="" tool="" i
  local -a typed=()
  for ((i = 1; i < ${#line[@]} - 1; i++)); do
    case ${line[i]} in
      --control) [[ -z $control ]] && control=${line[i + 1]}; ((i++)) ;;
      --timeout) ((i++)) ;;
      *)
        if [[ -z $command ]]; then command=${line[i]}
        elif [[ -z $tool ]]; then tool=${line[i]}
        else typed+=("${line[i]%%=*}")
        fi ;;
    esac
  done

  if [[ -z $tool ]]; then
    COMPREPLY=($(compgen -W "$(_brelvo_cli_tools "${line[0]}" "$control")" -- "$current"))
    return
  fi
  [[ $tool == [{]* ]] && return

  local -a offered=()
  local entry key
  while IFS= read -r entry; do
    key=${entry%%=*}
    if [[ $current == *=* ]]; then
      [[ $key == "${current%%=*}" && $entry != *= ]] && offered+=("$entry")
    elif [[ $entry == *= && " ${typed[*]} " != *" $key "* ]]; then
      offered+=("$entry")
    fi
  done < <(_brelvo_cli_tool_keys "${line[0]}" "$control" "$tool")

  COMPREPLY=($(compgen -W "${offered[*]}" -- "$current"))
  if [[ $current == *=* ]]; then
    # The shell replaces only the part after the last `=` when `=` breaks words.
    [[ $COMP_WORDBREAKS == *=* ]] && COMPREPLY=("${COMPREPLY[@]#*=}")
  else
    compopt -o nospace 2>/dev/null
  fi
}

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
    exec)
      _brelvo_cli_exec ;;
    run)
      COMPREPLY=($(compgen -f -- "$cur")) ;;
    open)
      COMPREPLY=($(compgen -W "--add" -- "$cur") $(compgen -f -- "$cur")) ;;
    screenshot)
      COMPREPLY=($(compgen -W "--out" -- "$cur")) ;;
  esac
}
complete -o filenames -F _brelvo_cli brelvo-cli
