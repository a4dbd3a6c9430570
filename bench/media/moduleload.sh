#!/usr/bin/env bash
# The media module's load time, side by side for several builds: ROUNDS round-robin
# rounds of one fresh process a build, each loading BUILD/app/quillot-media.so with
# the first build's media_module_load; prints the median and range of the time and
# the shared libraries mapped once it is loaded.
#   bench/media/moduleload.sh ROUNDS BUILD_DIR...
set -euo pipefail
rounds="${1:?usage: moduleload.sh ROUNDS BUILD_DIR...}"
shift
[ $# -ge 1 ] || { echo "usage: moduleload.sh ROUNDS BUILD_DIR..." >&2; exit 2; }
loader="$1/bench/media/media_module_load"
[ -x "$loader" ] || { echo "moduleload.sh: build $loader first" >&2; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for round in $(seq "$rounds"); do
    k=0
    for build in "$@"; do
        "$loader" "$build/app/quillot-media.so" >>"$tmp/$k"
        k=$((k + 1))
    done
done
echo "loading the media module, $rounds fresh processes each (ms: median, range; libraries mapped):"
k=0
for build in "$@"; do
    sort -n "$tmp/$k" | awk -v n="$build" '
        { t[NR] = $1; l = $2 }
        END { printf "  %-32s %7.2f ms (%.2f-%.2f)   %d libraries\n", n, t[int((NR + 1) / 2)], t[1], t[NR], l }'
    k=$((k + 1))
done
