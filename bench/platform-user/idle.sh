#!/bin/sh
# Processor use of a program waiting in its message loop for SECONDS: without a timer and
# with a 100 ms window timer. Run it inside xvfb-run (or on a real display).
#   bench/platform-user/idle.sh BUILD_DIR [SECONDS]
build=${1:-build}
secs=${2:-10}
demo=$build/tools/dev/platformdemo/platformdemo
/usr/bin/time -f "no timer:       %P CPU (%U s user, %S s system, %e s)" "$demo" --idle "$secs"
/usr/bin/time -f "100 ms timer:   %P CPU (%U s user, %S s system, %e s)" "$demo" --idle "$secs" --timer 100
