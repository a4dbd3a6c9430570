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

# Starts a virtual display on a free number (the server picks it and writes it once it
# takes connections) and exports DISPLAY; xpid is the server's process.
start_xvfb() {
    local number i
    number="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
    xpid=$!
    for ((i = 0; i < 100; i++)); do
        [ -s "$number" ] && break
        kill -0 "$xpid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$number" ] || {
        rm -f "$number"
        echo "start_xvfb: the virtual display did not start" >&2
        return 1
    }
    export DISPLAY=":$(tr -d '[:space:]' <"$number")"
    rm -f "$number"
}
