#!/bin/sh
# Processor time of playing a clip for SECONDS on one virtual display: our process plus
# the X server, for mciplay and for ffplay on the same file, one after the other.
#   bench/media/cpu.sh BUILD_DIR [SECONDS] [CLIP]
build=${1:-build}
secs=${2:-20}
clip=$3
tmp=$(mktemp -d)
. "$(dirname "$0")/../common/measure.sh"
start_xvfb
trap 'kill $xpid 2>/dev/null; rm -rf "$tmp"' EXIT
. "$(dirname "$0")/clip.sh"
run() {
    name=$1
    shift
    x0=$(ticks $xpid)
    /usr/bin/time -f "%U %S" -o "$tmp/time" env SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} "$@" >/dev/null 2>&1
    x1=$(ticks $xpid)
    read -r user sys <"$tmp/time"
    awk -v n="$name" -v u="$user" -v s="$sys" -v x="$(((x1 - x0)))" -v hz="$clock_ticks" -v t="$secs" \
        'BEGIN { p = u + s; xs = x / hz; printf "%-8s process %.2f s, X server %.2f s, total %.2f s = %.1f %% of one core\n", n, p, xs, p + xs, 100 * (p + xs) / t; print p + xs > "/dev/stderr" }' 2>>"$tmp/totals"
}
run mciplay "$build/tools/dev/mciplay/mciplay" --seconds "$secs" "$clip"
run ffplay ffplay -autoexit -t "$secs" -loglevel quiet "$clip"
awk 'NR == 1 { a = $1 } NR == 2 { b = $1 } END { if (b > 0) printf "ratio mciplay / ffplay: %.2f\n", a / b }' "$tmp/totals"
