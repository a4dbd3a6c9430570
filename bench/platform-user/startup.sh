#!/bin/sh
# Times start-up to the first presented frame, through the platform layer and with SDL2
# alone, under one virtual display: median of RUNS launches each, in milliseconds.
#   bench/platform-user/startup.sh BUILD_DIR [RUNS]
# Run it inside xvfb-run (or on a real display).
build=${1:-build}
runs=${2:-20}
dir=$build/bench/platform-user
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for prog in startup_platform startup_sdl; do
    for i in $(seq "$runs"); do
        start=$(date +%s%N)
        "$dir/$prog" || exit 1
        end=$(date +%s%N)
        echo $(( (end - start) / 1000 ))
    done | median | awk -v p="$prog" '{printf "%-18s %.1f ms (median)\n", p, $1 / 1000}'
done
