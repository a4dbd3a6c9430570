#!/bin/sh
# Times start-up to the first presented frame, through the platform layer and with SDL2
# alone, under one virtual display. The two programs are launched in turn, so drift in the
# machine's load touches both alike; prints the median of RUNS launches each and the
# median of the paired differences, in milliseconds.
#   bench/platform-user/startup.sh BUILD_DIR [RUNS]
# Run it inside xvfb-run (or on a real display).
build=${1:-build}
runs=${2:-20}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
. "$(dirname "$0")/../common/measure.sh"
launch() {
    start=$(date +%s%N)
    "$@" || exit 1
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}
for i in $(seq "$runs"); do
    echo "$(launch "$build/bench/platform-user/startup_platform") $(launch "$build/bench/common/baresdl" --once)" >>"$out" || exit 1
done
ms() { median | awk '{ printf "%.1f", $1 / 1000 }'; }
printf 'startup_platform   %s ms (median)\n' "$(cut -d' ' -f1 "$out" | ms)"
printf 'bare SDL2          %s ms (median)\n' "$(cut -d' ' -f2 "$out" | ms)"
printf 'difference         %s ms (median of pairs)\n' "$(awk '{print $1 - $2}' "$out" | ms)"
