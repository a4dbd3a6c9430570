#!/usr/bin/env bash
# Playing the same clip on one virtual display, side by side: the catalogue playing its
# introduction (main.avi, clicked through with X input), ffplay as it starts, ffplay
# tuned for a display without a GPU (software renderer, no framebuffer acceleration)
# and mpv with its X11 output. Each plays for SECONDS after a settling pause, in ROUNDS
# round-robin rounds; processor time is that of the player and the X server together,
# as a percentage of one core, and resident memory is the player's at the end of its
# stint. Sound goes to SDL's dummy driver (mpv: its null output) for every player.
# Then, from the last round, the catalogue's resident memory by kind of mapping.
#   bench/media/playback.sh BUILD_DIR [SECONDS] [ROUNDS]
# With PERF=DIR in the environment, one more stint of the catalogue runs under
# `perf record` (the program and the X server) and the reports go to DIR.
set -euo pipefail
build="${1:?usage: playback.sh BUILD_DIR [SECONDS] [ROUNDS]}"
secs="${2:-20}"
rounds="${3:-3}"
here="$(cd "$(dirname "$0")" && pwd)"
program="$build/app/quillot"
clip="$build/app/main.avi"
[ -x "$program" ] && [ -f "$clip" ] || {
    echo "playback.sh: build the catalogue and its clips in $build first" >&2
    exit 1
}
tmp="$(mktemp -d)"
source "$here/../common/measure.sh"
source "$here/../../scripts/catalogue-x.sh"
start_xvfb
trap 'kill $xpid 2>/dev/null || true; rm -rf "$tmp"' EXIT
sleep 1
export SDL_AUDIODRIVER=dummy
settle=3

rss_mb() { awk '/^VmRSS/ { printf "%.1f\n", $2 / 1024 }' "/proc/$1/status"; }

# The libraries the program needs without FFmpeg: those of the display, sound, font and
# image libraries it links, and their dependencies. Every other library is FFmpeg's.
base_libraries() {
    local lib
    for lib in libSDL2-2.0.so.0 libX11.so.6 libfreetype.so.6 libfontconfig.so.1 libpng16.so.16 \
        libstdc++.so.6; do
        lib="$(ldconfig -p | awk -v l="$lib" '$1 == l && !found { print $NF; found = 1 }')"
        [ -n "$lib" ] && { echo "$lib"; ldd "$lib" | awk '$3 ~ /^\// { print $3 }'; }
    done | xargs -r -n1 readlink -f | sort -u
}

# Resident memory of PID by kind of mapping, in MB, from /proc/PID/smaps.
memory_breakdown() {
    base_libraries >"$tmp/base-libraries"
    awk -v baselist="$tmp/base-libraries" '
        BEGIN { while ((getline l < baselist) > 0) base[l] = 1 }
        /^[0-9a-f]+-[0-9a-f]+ / {
            name = NF >= 6 ? $6 : "";
            for (i = 7; i <= NF; ++i) name = name " " $i;
            if (name ~ /SYSV|\/dev\/shm|memfd/) kind = "window surface (shared with X)";
            else if (name ~ /\.(ttf|otf|ttc)$/ || name ~ /fontconfig/) kind = "fonts";
            else if (name ~ /\.so/ && (name in base || name ~ /\/(libc|libm|ld-linux-x86-64|libgcc_s)\.so/)) kind = "libraries: display, sound, fonts, C and C++";
            else if (name ~ /\.so/) kind = "libraries: FFmpeg and those only it needs";
            else if (name == "[heap]" || name == "") kind = "heap and anonymous (decoder, pixels, program)";
            else if (name ~ /^\[stack/) kind = "stacks";
            else if (name ~ /^\//) kind = "program and other files";
            else kind = "other";
            next
        }
        /^Rss:/ { mb[kind] += $2 / 1024; total += $2 / 1024 }
        END {
            for (k in mb) printf "  %-48s %6.1f MB\n", k, mb[k] | "sort -k1,1";
            close("sort -k1,1");
            printf "  %-48s %6.1f MB\n", "total", total
        }' "/proc/$1/smaps"
    echo "  the largest mappings:"
    awk '/^[0-9a-f]+-[0-9a-f]+ / { name = NF >= 6 ? $6 : "[anonymous]" }
         /^Rss:/ { kb[name] += $2 }
         END { for (n in kb) printf "    %7.1f MB  %s\n", kb[n] / 1024, n }' "/proc/$1/smaps" |
        sort -rn | awk 'NR <= 15'
    echo "  anonymous mappings of 512 KB or more resident (address range: resident):"
    awk '/^[0-9a-f]+-[0-9a-f]+ / { range = $1; anon = NF < 6 }
         /^Rss:/ && anon && $2 >= 512 { printf "    %s: %.2f MB\n", range, $2 / 1024 }' \
        "/proc/$1/smaps" | sort -t: -k2 -rn | awk 'NR <= 20'
    awk '/^(Rss|Pss|Anonymous|Shared_Clean|Private_Dirty):/ { printf "  rollup %-14s %6.1f MB\n", $1, $2 / 1024 }' \
        "/proc/$1/smaps_rollup"
}

# Runs one player for its stint; appends "percent rss" to $tmp/NAME.
measure() {
    local name="$1" pid="$2"
    echo "$(cpu_percent "$pid" "$xpid" "$secs") $(rss_mb "$pid")" >>"$tmp/$name"
}

stop() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

catalogue() {
    "$program" 2>/dev/null &
    local pid=$!
    catalogue_window $pid || {
        echo "playback.sh: the catalogue's window did not come" >&2
        exit 1
    }
    catalogue_click korean
    sleep "$settle"
    if [ "${1:-}" = perf ]; then
        perf record -q -g -o "$PERF/catalogue.data" -p $pid -- sleep "$secs" >/dev/null 2>&1 &
        local perfpid=$!
        perf record -q -g -o "$PERF/xserver.data" -p $xpid -- sleep "$secs" >/dev/null 2>&1
        wait $perfpid
    else
        measure catalogue $pid
        [ "$round" = "$rounds" ] && memory_breakdown $pid >"$tmp/breakdown"
    fi
    stop $pid
}

# ffplay NAME [VARIABLE=VALUE...]: ffplay with those in its environment.
ffplay_run() {
    env "${@:2}" ffplay -loglevel quiet "$clip" >/dev/null 2>&1 &
    local pid=$!
    sleep "$settle"
    measure "$1" $pid
    stop $pid
}

for round in $(seq "$rounds"); do
    catalogue
    ffplay_run ffplay-default
    ffplay_run ffplay-tuned SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
    mpv --really-quiet --vo=x11 --ao=null "$clip" >/dev/null 2>&1 &
    pid=$!
    sleep "$settle"
    measure mpv $pid
    stop $pid
done

echo "playing main.avi (700 x 628) on one Xvfb display, $secs s a stint, $rounds rounds:"
echo "processor time (player + X server, % of one core: median, range) and resident memory"
for name in catalogue ffplay-tuned ffplay-default mpv; do
    sort -n "$tmp/$name" | awk -v n="$name" '
        { p[NR] = $1; r[NR] = $2 }
        END { printf "  %-15s %5.2f %% (%.2f-%.2f)   %6.1f MB\n", n, p[int((NR + 1) / 2)], p[1], p[NR], r[int((NR + 1) / 2)] }'
    sort -n "$tmp/$name" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }' >"$tmp/$name.median"
done
awk -v c="$(cat "$tmp/catalogue.median")" -v t="$(cat "$tmp/ffplay-tuned.median")" \
    -v d="$(cat "$tmp/ffplay-default.median")" -v m="$(cat "$tmp/mpv.median")" 'BEGIN {
        printf "ratios of processor time: catalogue / tuned ffplay %.2f, / default ffplay %.2f, / mpv %.2f\n",
            c / t, c / d, c / m }'
echo "the catalogue's resident memory while playing, by mapping:"
cat "$tmp/breakdown"

if [ -n "${PERF:-}" ]; then
    mkdir -p "$PERF"
    round=0
    catalogue perf
    for who in catalogue xserver; do
        perf report -q -i "$PERF/$who.data" --no-children --sort dso,sym --percent-limit 1 \
            >"$PERF/$who.txt" 2>/dev/null || true
        perf report -q -i "$PERF/$who.data" --no-children --sort dso --percent-limit 0.5 \
            >"$PERF/$who-dso.txt" 2>/dev/null || true
    done
    echo "perf reports in $PERF (catalogue.txt, xserver.txt and their -dso.txt)"
fi
