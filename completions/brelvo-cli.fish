# fish completion for brelvo-cli
#
# After `exec` it asks the running application for its tools and their
# argument keys: each ask is one call of the program, cut off after a second,
# with its output read only where it has the exact indented form. When the
# application is down, hung or answers oddly, nothing more is offered.

# The program's answer to `commands` words, or nothing within a second.
# argv: the program as typed, the control file given on the line (or empty), the words.
function __brelvo_cli_ask
    command -q timeout; or return
    set -l program (string replace -r '^~/' "$HOME/" -- $argv[1])
    set -l options
    test -n "$argv[2]"; and set options --control (string replace -r '^~/' "$HOME/" -- $argv[2])
    timeout 1 $program $options $argv[3..-1] </dev/null 2>/dev/null
end

# A word that needs no quoting on the line.
set -g __brelvo_cli_plain '[A-Za-z0-9_.@+%,-]+'

# The tool names, one a line.
function __brelvo_cli_tools
    __brelvo_cli_ask $argv[1] $argv[2] commands --names |
        string replace -rf -- '^  "('$__brelvo_cli_plain')",?$' '$1'
end

# The argument keys of tool argv[3], one a line as `key=`, and each value of a
# key's enum as `key=value`. A string value that would be read as JSON
# (true, 12) is left out: typed bare it would not arrive as a string.
function __brelvo_cli_tool_keys
    set -l tool $argv[3]
    set -l plain $__brelvo_cli_plain
    set -l json_word '^(true|false|null|-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)$'
    set -l name
    set -l key
    set -l found
    set -l match
    set -l in_schema 0
    set -l in_properties 0
    set -l in_enum 0
    for line in (__brelvo_cli_ask $argv[1] $argv[2] commands)
        if test "$line" = '  {'
            set name
            set key
            set found
            set in_schema 0
            set in_properties 0
            set in_enum 0
        else if string match -rq -- '^  \},?$' $line
            test "$name" = "$tool"; and printf '%s\n' $found
        else if set match (string match -rg -- '^    "name": "('$plain')",?$' $line)
            set name $match
        else if test "$line" = '    "inputSchema": {'
            set in_schema 1
        else if string match -rq -- '^    \},?$' $line
            set in_schema 0
        else if test $in_schema = 1; and test "$line" = '      "properties": {'
            set in_properties 1
        else if test $in_properties = 1; and string match -rq -- '^      \},?$' $line
            set in_properties 0
        else if test $in_properties = 1; and string match -q -- '        "*' $line
            set key (string match -rg -- '^        "('$plain')": ' $line)
            and set -a found "$key="
        else if test -n "$key"; and test "$line" = '          "enum": ['
            set in_enum 1
        else if test $in_enum = 1; and string match -rq -- '^          \],?$' $line
            set in_enum 0
        else if test $in_enum = 1; and set match (string match -rg -- '^            "('$plain')",?$' $line)
            string match -rq -- $json_word $match; or set -a found "$key=$match"
        else if test $in_enum = 1; and set match (string match -rg -- '^            ('$plain'),?$' $line)
            set -a found "$key=$match"
        end
    end
end

# Prints the command word on the line so far; fails when there is none yet.
function __brelvo_cli_command
    set -l words (commandline -opc)
    set -e words[1]
    while set -q words[1]
        switch $words[1]
            case --control --timeout
                set -e words[1]
            case '-*'
            case '*'
                echo $words[1]
                return
        end
        set -e words[1]
    end
    return 1
end

function __brelvo_cli_command_is
    test "$(__brelvo_cli_command)" = "$argv[1]"
end

# The words after `exec`: the tool, then its keys and enum values.
function __brelvo_cli_exec_candidates
    set -l words (commandline -opc)
    set -l control
    set -l command
    set -l tool
    set -l typed
    set -l i 2
    while test $i -le (count $words)
        switch $words[$i]
            case --control
                set i (math $i + 1)
                test -z "$control"; and set control $words[$i]
            case --timeout
                set i (math $i + 1)
            case '*'
                if test -z "$command"
                    set command $words[$i]
                else if test -z "$tool"
                    set tool $words[$i]
                else
                    set -a typed (string split -m1 = -- $words[$i])[1]
                end
        end
        set i (math $i + 1)
    end

    if test -z "$tool"
        __brelvo_cli_tools $words[1] "$control"
        return
    end
    string match -q -- '{*' $tool; and return

    set -l current (commandline -ct)
    set -l current_key (string split -m1 = -- $current)[1]
    for entry in (__brelvo_cli_tool_keys $words[1] "$control" $tool)
        set -l key (string split -m1 = -- $entry)[1]
        if string match -q -- '*=*' $current
            test "$key" = "$current_key"; and not string match -q -- '*=' $entry; and echo $entry
        else if string match -q -- '*=' $entry; and not contains -- $key $typed
            echo $entry
        end
    end
end

complete -c brelvo-cli -f
complete -c brelvo-cli -l control -r -F -d 'Control file'
complete -c brelvo-cli -l timeout -x -d 'Tool time-out in seconds'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -s h -l help -d 'Show the usage text'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -s V -l version -d 'Show the version'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a status -d 'Is Brelvo running and ready?'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a commands -d 'The tools Brelvo serves, with their JSON schemas'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a exec -d 'Run one tool'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a run -d 'Run a script of tool calls'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a screenshot -d 'Save the current 3D view'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a open -d 'Open models (starts Brelvo if needed)'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a launch -d 'Start Brelvo and wait until it is ready'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a mcp -d 'Run as a stdio MCP server'
complete -c brelvo-cli -n 'not __brelvo_cli_command' -a help -d 'Show the usage text'
complete -c brelvo-cli -n '__brelvo_cli_command_is commands' -l names -d 'Only the tool names'
complete -c brelvo-cli -n '__brelvo_cli_command_is exec' -a '(__brelvo_cli_exec_candidates)'
complete -c brelvo-cli -n '__brelvo_cli_command_is run' -F
complete -c brelvo-cli -n '__brelvo_cli_command_is open' -F
complete -c brelvo-cli -n '__brelvo_cli_command_is open' -l add -d 'Add to the open models'
complete -c brelvo-cli -n '__brelvo_cli_command_is screenshot' -l out -r -F -d 'Output file'
