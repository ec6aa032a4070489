#!/usr/bin/env bash
# Runs a build command with its whole output in LOG, showing its progress
# lines as they come (on a terminal, one line rewritten in place) and every
# compiler warning and error in full; ends by counting the warnings.
# The count covers what was compiled in this run: an up-to-date target shows none.
#   build-with-progress.sh LOG COMMAND [ARGS...]
# Exits with the command's status; when it fails, the log's tail follows.
set -uo pipefail
if [[ $# -lt 2 ]]; then
    echo "usage: $0 LOG COMMAND [ARGS...]" >&2
    exit 2
fi
log=$1
shift
mkdir -p "$(dirname "$log")"

on_terminal=false
[[ -t 1 ]] && on_terminal=true
width=$(tput cols 2>/dev/null || echo 100)

"$@" 2>&1 | tee "$log" | {
    shown=false
    # A warning inside a system header (GCC's -Wrestrict in std::string, say)
    # names the project's line only in the "inlined from" notes before it.
    project_line=
    while IFS= read -r line; do
        if [[ $line =~ (inlined from|required from|In (member )?function).*\ at\ ([^ ]+:[0-9]+:[0-9]+) ]] &&
            [[ ${BASH_REMATCH[3]} != /usr/* && -z $project_line ]]; then
            project_line=${BASH_REMATCH[3]%:}
        elif [[ $line == *": warning: "* || $line == *": error: "* || $line == *make*Error\ * ]]; then
            $shown && printf '\r\033[K'
            printf '%s\n' "$line"
            if [[ $line == /usr/* && -n $project_line ]]; then
                printf '  (in the project at %s)\n' "$project_line"
            fi
            project_line=
            shown=false
        elif [[ $line =~ ^\[\ *[0-9]+%\] ]]; then
            if $on_terminal; then
                printf '\r\033[K%s' "${line:0:$((width - 1))}"
                shown=true
            else
                printf '%s\n' "$line"
            fi
        fi
    done
    if $shown; then printf '\r\033[K'; fi
}
status=${PIPESTATUS[0]}

warnings=$(grep -c ': warning: ' "$log")
if [[ $status -ne 0 ]]; then
    tail -30 "$log" >&2
    echo "build failed: $* (whole output in $log)" >&2
elif [[ $warnings -ne 0 ]]; then
    echo "built, with $warnings compiler warnings (shown above; whole output in $log)"
else
    echo "built, no compiler warnings (whole output in $log)"
fi
exit "$status"
