# SPDX-License-Identifier: GPL-3.0-or-later
# Loading and finding against the plain tools doing the same work on the same
# file, in one run so that the ratios hold on a busy machine. Sourced by
# compare_editors.sh after its table (it uses that script's files, polling and
# medians); prints medians of RUNS and every run's raw figures:
#   load  CPU s of the program until the file is shown and the CPU is quiet,
#         less the same for an empty start; against the CPU s of
#         iconv -f UTF-8 -t UTF-16LE of the file
#   find  CPU s from pressing Enter in the Find dialog with a word that is not
#         in the file until the "not found" box is shown and the CPU is quiet,
#         less the same in the empty document; against the CPU s of grep -c
#         of the word on the file
#   Environment: LOAD_FIND (1; 0 leaves this out), LOAD_FIND_FILES (lines200).

lf_word=zqxjvw

# CPU seconds (user + system) a command takes, its output dropped.
lf_cpu_of() {
    local TIMEFORMAT='%3U %3S' t
    t=$({ time "$@" > /dev/null 2>&1; } 2>&1)
    awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f", a[1] + a[2] }'
}

lf_window_named() { # pattern: the first visible window of that title
    xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1
}

lf_wait_window() { # pattern
    local w deadline=$(($(now) + load_timeout * 1000000))
    until w=$(lf_window_named "$1") && [ -n "$w" ]; do
        (($(now) > deadline)) && return 1
        pause 0.02
    done
    echo "$w"
}

# Prints "load-cpu peak-MiB find-cpu" for the program started on FILE ("" for
# an empty start), or "- - -".
lf_measure() {
    local file=$1 pid win result="- - -" load_ticks peak before find
    start_desktop
    "$build/bin/quorvel" ${file:+"$file"} > /dev/null 2>&1 &
    pid=$!
    local deadline=$(($(now) + load_timeout * 1000000)) name=${file:+$(basename "$file")}
    win=""
    until win=$(xdotool search --onlyvisible --pid "$pid" 2> /dev/null | head -1) && [ -n "$win" ] &&
        xdotool getwindowname "$win" 2> /dev/null | grep -qF "${name:-Zelmar}"; do
        { (($(now) > deadline)) || ! kill -0 "$pid" 2> /dev/null; } && win="" && break
        pause 0.05
    done
    if [ -n "$win" ] && wait_quiet "$pid" "$load_timeout" > /dev/null; then
        read_ticks "$pid"
        load_ticks=$TICKS
        peak=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
        xdotool windowactivate --sync "$win" > /dev/null 2>&1
        xdotool key --clearmodifiers ctrl+f
        if find=$(lf_wait_window '^Find Text$'); then
            xdotool windowactivate --sync "$find" > /dev/null 2>&1
            xdotool type --delay 20 "$lf_word"
            wait_quiet "$pid" "$load_timeout" > /dev/null
            read_ticks "$pid"
            before=$TICKS
            xdotool key Return
            if lf_wait_window '^Zelmar$' > /dev/null && wait_quiet "$pid" "$load_timeout" > /dev/null; then
                read_ticks "$pid"
                result=$(awk -v l="$load_ticks" -v p="$peak" -v f="$((TICKS - before))" -v hz="$tick" \
                    'BEGIN { printf "%.2f %d %.2f", l / hz, p / 1024, f / hz }')
            fi
        fi
    fi
    stop_desktop "$pid"
    echo "$result"
}

lf_report() {
    local name file empty_load=() empty_find=() load=() peak=() find=() iconv=() grep=() l p f e_l e_f
    echo
    echo "Load and find against iconv and grep (median of $runs; CPU s):"
    for _ in $(seq "$runs"); do
        read -r l p f <<< "$(lf_measure "")"
        empty_load+=("$l") empty_find+=("$f")
        echo "  empty start: $l s CPU, $p MiB, find in it $f s" >&2
    done
    e_l=$(median "${empty_load[@]}")
    e_f=$(median "${empty_find[@]}")
    for name in ${LOAD_FIND_FILES:-lines200}; do
        file=$(make_file "$name")
        load=() peak=() find=() iconv=() grep=()
        for _ in $(seq "$runs"); do
            read -r l p f <<< "$(lf_measure "$file")"
            load+=("$l") peak+=("$p") find+=("$f")
            iconv+=("$(lf_cpu_of iconv -f UTF-8 -t UTF-16LE "$file")")
            grep+=("$(lf_cpu_of grep -c "$lf_word" "$file")")
            echo "  $name: load $l s CPU, $p MiB, find $f s; iconv ${iconv[-1]} s, grep -c ${grep[-1]} s" >&2
        done
        awk -v n="$(size_of "$name")" -v l="$(median "${load[@]}")" -v el="$e_l" -v i="$(median "${iconv[@]}")" \
            -v f="$(median "${find[@]}")" -v ef="$e_f" -v g="$(median "${grep[@]}")" -v p="$(median "${peak[@]}")" \
            'BEGIN {
                printf "| %s | load %.2f - empty %.2f = %.2f s, iconv %.2f s, ratio %.2f | peak %d MiB |", \
                    n, l, el, l - el, i, (i > 0 ? (l - el) / i : 0), p
                printf " find %.2f - empty %.2f = %.2f s, grep -c %.2f s, ratio %.2f |\n", \
                    f, ef, f - ef, g, (g > 0 ? (f - ef) / g : 0) }'
    done
}

[ "${LOAD_FIND:-1}" != 0 ] && lf_report
