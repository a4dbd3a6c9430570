#!/bin/sh
# Time to the first frame, sound against picture and memory of one clip, under a virtual
# display, with SDL's disk audio driver standing in for a sound card.
#   bench/media/measure.sh BUILD_DIR [CLIP]
# Without CLIP: BUILD_DIR/app/main.avi, or a 700 x 628 clip of 494 frames made with ffmpeg.
build=${1:-build}
clip=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/clip.sh"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$tmp/sound.raw QUILLOT_DISK_AUDIO=$tmp/sound.raw \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/media/media_measure" "$clip"
QUILLOT_BENCH_CLIP=$clip "$build/bench/media/media_status_bench" --benchmark_min_time=0.5
