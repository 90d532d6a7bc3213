#!/usr/bin/env bash
# Opens the same generated files in the real program and, when installed, in
# kate and featherpad, each on an X server and window manager of its own, and
# prints the medians of:
#   window  seconds from start until the window is shown with the file's name
#   quiet   seconds from start until then and the CPU is quiet (less than
#           QUIET_TICKS ticks in QUIET_SECONDS; ">N" when not within LOAD_TIMEOUT)
#   cpu     CPU seconds used by then
#   peak    peak resident memory (VmHWM) by then, MiB
#   key     seconds from a key typed at the start of the text until the CPU
#           is quiet again (">N" when not within KEY_TIMEOUT; below
#           about 0.03 s the figure is within the resolution of the polling)
#   end     the same for a key typed at the end of the text (after Ctrl+End)
#
#   bench/compare_editors.sh [build-dir] [editor ...]
#     editors: quorvel kate featherpad (default: quorvel, and the others when installed)
#   Environment: RUNS (3), FILES (all: empty lines10 lines50 lines100 lines200 short5m oneline10 utf16),
#     WORK (a directory for the generated files, kept when given), DISPLAY_BASE (140),
#     LOAD_TIMEOUT (180), KEY_TIMEOUT (60), PREFERENCES (blank-separated Key=Value lines for
#     quorvel's preferences file, e.g. "LineNumbers=true HighlightCurrentLine=true").
set -uo pipefail

build=$(realpath "${1:-build}")
shift || true
editors=("$@")
if [ ${#editors[@]} -eq 0 ]; then
    editors=(quorvel)
    for e in kate featherpad; do command -v "$e" > /dev/null && editors+=("$e"); done
fi
runs=${RUNS:-3}
files=(${FILES:-empty lines10 lines50 lines100 lines200 short5m oneline10 utf16})
display_base=${DISPLAY_BASE:-140}
load_timeout=${LOAD_TIMEOUT:-180}
key_timeout=${KEY_TIMEOUT:-60}
quiet_seconds=${QUIET_SECONDS:-0.5}
quiet_ticks=${QUIET_TICKS:-2}
tick=$(getconf CLK_TCK)

for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 1; }
done

if [ -n "${WORK:-}" ]; then
    work=$WORK
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

# ---------------------------------------------------------------------------
# Files

make_file() {
    local name=$1 path="$work/$1.txt"
    [ -s "$path" ] && { echo "$path"; return; }
    case $name in
    lines10)
        # Lines of 20 to 120 words' worth of characters, varied like prose.
        awk 'BEGIN { srand(1); split("the quick brown fox jumps over lazy dog lorem ipsum dolor sit amet " \
                "consectetur adipiscing elit sed do eiusmod tempor incididunt labore", w, " ");
                n = length(w); size = 0;
                while (size < 10 * 1048576) {
                    len = 20 + int(rand() * 100); line = "";
                    while (length(line) < len) line = line w[1 + int(rand() * n)] " ";
                    print line; size += length(line) + 1 } }' > "$path.tmp" ;;
    lines50) for _ in 1 2 3 4 5; do cat "$(make_file lines10)"; done > "$path.tmp" ;;
    lines100) for _ in 1 2; do cat "$(make_file lines50)"; done > "$path.tmp" ;;
    lines200) for _ in 1 2; do cat "$(make_file lines100)"; done > "$path.tmp" ;;
    oneline10) tr '\n' ' ' < "$(make_file lines10)" > "$path.tmp" ;;
    utf16)
        { printf '\xff\xfe'
          head -c $((5 * 1048576)) "$(make_file lines10)" | sed 's/o/ö/g; s/e/€/g' |
              iconv -f UTF-8 -t UTF-16LE | head -c $((10 * 1048576 - 2)); } > "$path.tmp" ;;
    short5m) seq 1 5000000 > "$path.tmp" ;;
    esac
    mv "$path.tmp" "$path"
    echo "$path"
}

# ---------------------------------------------------------------------------
# Measuring one process

# Polling forks nothing, so the measuring costs the measured as little as can be.
exec 9<> <(:)
pause() { read -r -t "$1" -u 9 _ || true; }

# TICKS := utime + stime of PID; false once it is gone.
read_ticks() {
    local stat
    read -r stat 2> /dev/null < "/proc/$1/stat" || return 1
    stat=${stat##*) }
    set -- $stat
    TICKS=$((${12} + ${13}))
}

now() { echo $((${EPOCHREALTIME/./})); } # microseconds

to_seconds() { awk -v d="$1" 'BEGIN { printf "%.3f", (d < 0 ? 0 : d) / 1e6 }'; }

quiet_us=$(awk -v q="$quiet_seconds" 'BEGIN { printf "%d", q * 1e6 }')

# Waits until PID's CPU is quiet; prints when its last busy stretch ended
# (microseconds), or fails on timeout.
wait_quiet() {
    local pid=$1 limit_us=$(($2 * 1000000)) t window_start window_ticks last_busy start
    read_ticks "$pid" || return 1
    start=${EPOCHREALTIME/./}
    window_start=$start window_ticks=$TICKS last_busy=$start
    while :; do
        pause 0.02
        read_ticks "$pid" || return 1
        t=${EPOCHREALTIME/./}
        if ((TICKS - window_ticks >= quiet_ticks)); then
            window_start=$t window_ticks=$TICKS last_busy=$t
        elif ((t - window_start >= quiet_us)); then
            echo "$last_busy"
            return 0
        fi
        ((t - start > limit_us)) && return 1
    done
}

free_display() {
    local n=$display_base
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    echo "$n"
}

command_of() { # editor file
    case $1 in
    quorvel) echo "$build/bin/quorvel" ;;
    kate) echo "kate -n" ;;
    featherpad) echo "featherpad" ;;
    esac
}

# Prints "shown cpu peak key end" for one start of EDITOR on FILE ("" for an empty start).
measure() {
    local editor=$1 file=$2 display xvfb wm pid win t0 t_quiet ticks peak key_at t1 key_start key_end
    display=$(free_display)
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
    xvfb=$!
    local home
    home=$(mktemp -d)
    export DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    if [ -n "${PREFERENCES:-}" ]; then
        mkdir -p "$XDG_CONFIG_HOME/Varnholt/Zelmar"
        printf '%s\n' $PREFERENCES > "$XDG_CONFIG_HOME/Varnholt/Zelmar/Preferences"
    fi
    for _ in $(seq 600); do xprop -root > /dev/null 2>&1 && break; pause 0.05; done
    openbox > /dev/null 2>&1 &
    wm=$!
    for _ in $(seq 600); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
        pause 0.05
    done

    t0=$(now)
    # shellcheck disable=SC2046
    $(command_of "$editor") ${file:+"$file"} > /dev/null 2>&1 &
    pid=$!
    local result="- - - - - -" t_win quiet key_start=- key_end=-
    # Polled every 50 ms: xdotool's own --sync looks only every half second.
    win=""
    until win=$(xdotool search --onlyvisible --pid "$pid" 2> /dev/null | head -1) && [ -n "$win" ]; do
        { (($(now) - t0 > load_timeout * 1000000)) || ! kill -0 "$pid" 2> /dev/null; } && break
        pause 0.05
    done
    local titled=yes
    if [ -n "$win" ] && [ -n "$file" ]; then
        local base deadline=$((t0 + load_timeout * 1000000))
        base=$(basename "$file")
        until xdotool getwindowname "$win" 2> /dev/null | grep -qF "$base"; do
            # An editor that refuses the file (too large) never names it.
            (($(now) > deadline)) && { titled=no; break; }
            pause 0.05
        done
    fi
    if [ -n "$win" ]; then
        t_win=$(now)
        if [ $titled = no ]; then
            quiet=">$load_timeout"
        elif t_quiet=$(wait_quiet "$pid" "$load_timeout"); then
            quiet=$(awk -v d="$((t_quiet - t0))" 'BEGIN { printf "%.2f", d / 1e6 }')
        else
            quiet=">$load_timeout"
        fi
        read_ticks "$pid"
        ticks=$TICKS
        peak=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
        if [ "${quiet:0:1}" != ">" ]; then
            xdotool windowactivate --sync "$win" > /dev/null 2>&1
            t1=$(now)
            xdotool key --clearmodifiers x
            key_at=$(wait_quiet "$pid" "$key_timeout") && key_start=$(to_seconds $((key_at - t1))) ||
                key_start=">$key_timeout"
            if [ "${key_start:0:1}" != ">" ]; then
                xdotool key --clearmodifiers ctrl+End
                wait_quiet "$pid" "$key_timeout" > /dev/null
                t1=$(now)
                xdotool key --clearmodifiers x
                key_at=$(wait_quiet "$pid" "$key_timeout") && key_end=$(to_seconds $((key_at - t1))) ||
                    key_end=">$key_timeout"
            fi
        fi
        local shown=">$load_timeout"
        [ $titled = yes ] && shown=$(awk -v d="$((t_win - t0))" 'BEGIN { printf "%.2f", d / 1e6 }')
        result=$(awk -v w="$shown" -v q="$quiet" -v c="$ticks" -v hz="$tick" -v p="$peak" -v k="$key_start" \
            -v e="$key_end" 'BEGIN { printf "%s %s %.2f %d %s %s", w, q, c / hz, p / 1024, k, e }')
    fi
    kill "$pid" 2> /dev/null
    for _ in $(seq 40); do kill -0 "$pid" 2> /dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    kill "$wm" "$xvfb" 2> /dev/null
    wait "$wm" "$xvfb" 2> /dev/null
    rm -rf "$home"
    echo "$result"
}

median() { # values...: runs that failed ("-") are left out; a timeout (">N") ranks above every figure
    printf '%s\n' "$@" | awk '$1 != "-" { print (substr($1, 1, 1) == ">" ? 1e9 : $1), $1 }' | sort -g |
        awk '{ a[NR] = $2 } END { print NR ? a[int((NR + 1) / 2)] : "-" }'
}

# ---------------------------------------------------------------------------

declare -A cell
for name in "${files[@]}"; do
    file=""
    [ "$name" != empty ] && file=$(make_file "$name")
    for editor in "${editors[@]}"; do
        window=() shown=() cpu=() peak=() key=() keyend=()
        for _ in $(seq "$runs"); do
            read -r w s c p k e <<< "$(measure "$editor" "$file")"
            window+=("$w") shown+=("$s") cpu+=("$c") peak+=("$p") key+=("$k") keyend+=("$e")
            echo "  $name $editor: window $w s, quiet $s s, $c s CPU, $p MiB, key $k s, key at end $e s" >&2
        done
        cell[$name,$editor]="$(median "${window[@]}") / $(median "${shown[@]}") / $(median "${cpu[@]}") / $(median "${peak[@]}") / $(median "${key[@]}") / $(median "${keyend[@]}")"
    done
done

size_of() {
    [ "$1" = empty ] && { echo "empty start"; return; }
    local bytes
    bytes=$(stat -c %s "$work/$1.txt")
    awk -v n="$1" -v b="$bytes" 'BEGIN { printf "%s (%.0f MB)", n, b / 1048576 }'
}

echo
echo "Median of $runs: window shown s / CPU quiet s / CPU s / peak MiB / key at start s / key at end s"
printf '| file |'
for editor in "${editors[@]}"; do printf ' %s |' "$editor"; done
printf '\n|---|'
for _ in "${editors[@]}"; do printf -- '---|'; done
echo
for name in "${files[@]}"; do
    printf '| %s |' "$(size_of "$name")"
    for editor in "${editors[@]}"; do printf ' %s |' "${cell[$name,$editor]}"; done
    echo
done
