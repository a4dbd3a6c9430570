# Shell helpers of the measuring scripts; sourced, not run.
#   median              the median of the numbers on stdin, one a line
#   ticks PID           processor time of a process so far (user + system), in clock ticks
#   cpu_percent PID XPID SECONDS
#                       percentage of one core that PID and the X server XPID use together
#                       over the next SECONDS
#   start_xvfb          starts a 1280 x 1024 virtual display, exports DISPLAY and sets
#                       xpid; the caller's EXIT trap should kill $xpid

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

clock_ticks=$(getconf CLK_TCK)

cpu_percent() {
    _p0=$(ticks "$1"); _x0=$(ticks "$2"); _t0=$(date +%s.%N)
    sleep "$3"
    _p1=$(ticks "$1"); _x1=$(ticks "$2"); _t1=$(date +%s.%N)
    awk -v p="$((_p1 - _p0 + _x1 - _x0))" -v hz="$clock_ticks" -v t0="$_t0" -v t1="$_t1" \
        'BEGIN { printf "%.2f\n", 100 * p / hz / (t1 - t0) }'
}

start_xvfb() {
    _display=":$(($$ % 400 + 100))"
    Xvfb "$_display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xpid=$!
    export DISPLAY="$_display"
    sleep 1
}
