#!/usr/bin/env bash
# Checks the bash completion of vsr, once with bash-completion's helpers and once with the
# completion file's own fallback, in a folder holding a.vsr, b.txt and sub/.
#
#   tests/packaging/completion-test.sh data/vsr.bash-completion
#
# Prints each case that fails; exits 1 when any fails, 0 when all pass.
completion=$(realpath "${1:?usage: $0 COMPLETION_FILE}") || exit 1
library=${BASH_COMPLETION_LIBRARY:-/usr/share/bash-completion/bash_completion}

# The command line, completed at its end | the words offered, in any order.
cases='
vsr |info frames audio snapshot pack export index search demo --help --version
vsr s|snapshot
vsr --|--help --version
vsr --help |
vsr bogus |
vsr info |a.vsr sub
vsr info a|a.vsr
vsr info s|sub
vsr info b|
vsr info -|--json --help
vsr frames -|--help
vsr frames |a.vsr sub
vsr audio -|-o --raw --help
vsr audio a.vsr -o |a.vsr b.txt sub
vsr snapshot -|--at -o --cursor --help
vsr snapshot a.vsr --at |
vsr snapshot a.vsr --at 1000 -o |a.vsr b.txt sub
vsr pack -|-o --player --help
vsr pack a.vsr --player |a.vsr b.txt sub
vsr pack a.vsr -o b|b.txt
vsr export -|-o --from --to --fps --width --no-cursor --quality --quiet --help
vsr export --q|--quality --quiet
vsr export a.vsr |a.vsr sub
vsr export a.vsr -o |a.vsr b.txt sub
vsr export a.vsr --from |
vsr export a.vsr --to |
vsr export a.vsr --fps |
vsr export a.vsr --width |
vsr export a.vsr --quality |
vsr index -|-o --interval --lang --quiet --help
vsr index a.vsr --lang |
vsr search a.vsr --index |a.vsr b.txt sub
vsr search -|--json --index --interval --lang --quiet --help
vsr demo |-o --help
vsr demo -o |a.vsr b.txt sub
'

run_cases() { # $1: what provides the helpers
    local line expected words offered wanted failed=0
    while IFS='|' read -r line expected; do
        [[ -n $line ]] || continue
        read -ra words <<<"$line"
        [[ $line == *' ' ]] && words+=('')
        COMP_WORDS=("${words[@]}") COMP_CWORD=$((${#words[@]} - 1))
        COMP_LINE=$line COMP_POINT=${#line} COMPREPLY=()
        _vsr vsr "${words[COMP_CWORD]}" "${words[COMP_CWORD - 1]}" 2>/dev/null
        offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
        read -ra words <<<"$expected"
        wanted=$(printf '%s\n' "${words[@]}" | sort | paste -sd ' ')
        if [[ $offered != "$wanted" ]]; then
            echo "FAIL ($1): \"$line\" offered \"$offered\", expected \"$wanted\""
            failed=1
        fi
    done <<<"$cases"
    return $failed
}

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" && touch a.vsr b.txt && mkdir sub || exit 1
unset COMP_FILEDIR_FALLBACK

status=0
if [[ -r $library ]]; then
    (
        # shellcheck source=/dev/null
        source "$library" && source "$completion" || exit 1
        declare -F _init_completion >/dev/null || echo "note: $library has no _init_completion"
        run_cases bash-completion
    ) || status=1
else
    echo "note: $library is missing; only the fallback is checked"
fi
# shellcheck source=/dev/null
(source "$completion" && run_cases fallback) || status=1
((status == 0)) && echo "completion: all cases pass"
exit $status
