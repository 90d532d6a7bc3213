#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Opens a generated large file in the real program under Xvfb and reports the
# time until the window shows the file, the time until a typed key has been
# handled, and the program's peak memory.
#   bench/open_large_file.sh [build-dir] [size-MB] [lines|single]
set -euo pipefail
build=${1:-build}
size=${2:-50}
shape=${3:-lines}
work=$(mktemp -d)
trap 'kill ${xvfb:-} ${pid:-} 2>/dev/null || true; rm -rf "$work"' EXIT

file="$work/big.txt"
if [ "$shape" = single ]; then
    head -c $((size * 1024 * 1024)) /dev/zero | tr '\0' 'x' > "$file"
else
    set +o pipefail
    yes 'The quick brown fox jumps over the lazy dog; 0123456789 ÄÖÜ äöü €' |
        head -c $((size * 1024 * 1024)) > "$file"
fi

Xvfb :93 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
xvfb=$!
sleep 1
export DISPLAY=:93 XDG_CONFIG_HOME="$work/config"

start=$(date +%s.%N)
"$build/bin/quorvel" "$file" 2>/dev/null &
pid=$!
win=""
until [ -n "$win" ]; do win=$(xdotool search --onlyvisible --name 'Zelmar$' 2>/dev/null | head -1 || true); sleep 0.02; done
xdotool windowfocus --sync "$win"
until xdotool getwindowname "$win" | grep -q 'big.txt'; do sleep 0.02; done
loaded=$(date +%s.%N)
# A key typed at the end of the text: the title is unchanged, so wait for the
# status bar's modified mark through the event loop by asking for the name again.
xdotool key --window "$win" ctrl+End x
xdotool getwindowname "$win" > /dev/null
typed=$(date +%s.%N)
peak=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
awk -v s="$size" -v k="$shape" -v a="$start" -v b="$loaded" -v c="$typed" -v p="$peak" 'BEGIN {
    printf "size %s MB (%s): shown in %.2f s, key handled after %.2f s more, peak %d MiB\n", s, k, b - a, c - b, p / 1024 }'
