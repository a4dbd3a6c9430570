#!/usr/bin/env bash
# Figures of the running catalogue on a virtual display (Xvfb), side by side with its
# peers: start-up to the first frame on the screen beside a bare SDL2 program (paired
# launches, medians), a click on a choice to the first clip frame (medians and 90th
# percentiles), a table of the catalogue's start-up marks and the libraries it maps,
# processor time while idle on the category screen, and playback
# (bench/media/playback.sh): processor time of the program plus the X server and
# resident memory while the introduction plays, beside ffplay as it starts, ffplay tuned
# and mpv on the same clip and display.
#   bench/app/figures.sh BUILD_DIR
# Times are medians in milliseconds; processor time is a percentage of one core.
set -euo pipefail
build="${1:?usage: figures.sh BUILD_DIR}"
program="$build/app/quillot"
clip="$build/app/main.avi"
source "$(dirname "$0")/../common/measure.sh"
start_xvfb
trap 'kill $xpid 2>/dev/null || true' EXIT
sleep 1

ff="$build/bench/app/firstframe"
rounds=21
for _ in $(seq $rounds); do
    "$ff" startup 640 500 "$build/bench/common/baresdl" >>/tmp/figures-bare.$$
    "$ff" startup 640 500 "$program" 2>/dev/null >>/tmp/figures-quillot.$$
done
bare=$(median </tmp/figures-bare.$$)
ours=$(median </tmp/figures-quillot.$$)
echo "start-up to the first frame: catalogue $ours ms, bare SDL2 $bare ms (medians of $rounds pairs)"
awk -v q="$ours" -v b="$bare" 'BEGIN { printf "catalogue / bare SDL2: %.2f, difference %.1f ms\n", q / b, q - b }'
# Where the catalogue's start-up goes, in one launch, and the libraries it maps.
echo "the catalogue's start-up marks (one launch):"
"$ff" phases 640 500 "$program" || echo "(no first frame)"
echo "bare SDL2: $("$ff" phases 640 500 "$build/bench/common/baresdl" | tail -1)"
# A click on a choice to the first clip frame: the English choice on the start screen and
# a category choice, clicked through XTest from the timing program itself; then the same
# with the clicks sent by an xdotool process (whose start-up is counted in), to compare.
"$ff" clicks --runs 15 "$program" 2>/dev/null | tail -3 || echo "(a run found no clip frame)"
"$ff" clicks --runs 15 --xdotool "$program" 2>/dev/null | tail -3 ||
    echo "(a run found no clip frame)"
rm -f /tmp/figures-*.$$

"$program" 2>/dev/null &
qpid=$!
source "$(dirname "$0")/../../scripts/catalogue-x.sh"
catalogue_window $qpid
catalogue_click korean
sleep 3
catalogue_click back
sleep 2
# The introduction plays on behind the hidden frame until its end (33 s): wait for it.
sleep 30
echo "catalogue idle on the category screen: $(cpu_percent $qpid $xpid 10) % of one core (with the X server)"
kill $qpid; wait $qpid 2>/dev/null || true

"$(dirname "$0")/../media/playback.sh" "$build" 20 3
