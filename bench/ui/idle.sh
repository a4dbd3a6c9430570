#!/bin/sh
# Processor use of a framework program waiting in its message loop with a 100 ms timer
# for SECONDS. Run it inside xvfb-run (or on a real display).
#   bench/ui/idle.sh BUILD_DIR [SECONDS]
build=${1:-build}
secs=${2:-10}
/usr/bin/time -f "100 ms TTimer: %P CPU (%U s user, %S s system, %e s)" \
    "$build/bench/ui/ui_idle_timer" "$secs"
