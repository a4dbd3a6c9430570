#!/usr/bin/env bash
# Figures of the running catalogue on a virtual display (Xvfb), side by side with its
# peers: start-up to the first frame on the screen beside a bare SDL2 program (paired
# launches, medians), a click on a choice to the first clip frame (medians and 90th
# percentiles), processor time while a clip plays (the program plus the X server) beside
# ffplay on the same clip, processor time while idle on the category screen, resident
# memory while playing.
#   bench/app/figures.sh BUILD_DIR
# Times are medians in milliseconds; processor time is a percentage of one core.
set -euo pipefail
build="${1:?usage: figures.sh BUILD_DIR}"
program="$build/app/quillot"
clip="$build/app/main.avi"
display=":$((RANDOM % 400 + 100))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true' EXIT
export DISPLAY="$display"
sleep 2

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ff="$build/bench/app/firstframe"
rounds=7
for _ in $(seq $rounds); do
    "$ff" startup 640 500 "$build/bench/app/baresdl" >>/tmp/figures-bare.$$
    "$ff" startup 640 500 "$program" 2>/dev/null >>/tmp/figures-quillot.$$
done
bare=$(median </tmp/figures-bare.$$)
ours=$(median </tmp/figures-quillot.$$)
echo "start-up to the first frame: catalogue $ours ms, bare SDL2 $bare ms (medians of $rounds pairs)"
# A click on a choice to the first clip frame: the English choice on the start screen and
# a category choice, clicked through XTest from the timing program itself; then the same
# with the clicks sent by an xdotool process (whose start-up is counted in), to compare.
"$ff" clicks --runs 15 "$program" 2>/dev/null | tail -3 || echo "(a run found no clip frame)"
"$ff" clicks --runs 15 --xdotool "$program" 2>/dev/null | tail -3 ||
    echo "(a run found no clip frame)"
rm -f /tmp/figures-*.$$

ticks() { # utime + stime of a process, in clock ticks
    awk '{print $14 + $15}' "/proc/$1/stat"
}
hz=$(getconf CLK_TCK)
# cpu PID SECONDS: percentage of one core used by PID and the X server over SECONDS.
cpu() {
    local p0 x0 p1 x1 t0 t1
    p0=$(ticks "$1"); x0=$(ticks $xpid); t0=$(date +%s.%N)
    sleep "$2"
    p1=$(ticks "$1"); x1=$(ticks $xpid); t1=$(date +%s.%N)
    echo "scale=2; 100 * (($p1 - $p0) + ($x1 - $x0)) / $hz / ($t1 - $t0)" | bc
}

"$program" 2>/dev/null &
qpid=$!
source "$(dirname "$0")/../../scripts/catalogue-x.sh"
catalogue_window $qpid
catalogue_click korean
sleep 3
echo "catalogue playing main.avi: $(cpu $qpid 10) % of one core (with the X server)"
echo "catalogue resident memory while playing: $(awk '/VmRSS/ {print $2 / 1024 " MB"}' /proc/$qpid/status)"
catalogue_click back
sleep 2
# The introduction plays on behind the hidden frame until its end (33 s): wait for it.
sleep 30
echo "catalogue idle on the category screen: $(cpu $qpid 10) % of one core (with the X server)"
kill $qpid; wait $qpid 2>/dev/null || true

ffplay -loglevel quiet -x 700 -y 628 -an "$clip" >/dev/null 2>&1 &
fpid=$!
sleep 3
echo "ffplay playing main.avi (picture only): $(cpu $fpid 10) % of one core (with the X server)"
kill $fpid 2>/dev/null || true
