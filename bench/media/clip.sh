# Sourced by the media benchmarks, with `build`, `clip` and `tmp` set: when no clip was
# given, takes the build's main.avi, or without the build's clips makes a clip of the
# same shape (700 x 628, 494 frames at 15 fps, with sound) with ffmpeg in `tmp`.
if [ -z "$clip" ]; then
    clip=$build/app/main.avi
    if [ ! -f "$clip" ]; then
        clip=$tmp/main.avi
        ffmpeg -loglevel error -f lavfi -i testsrc=size=700x628:rate=15 \
            -f lavfi -i sine=frequency=440:sample_rate=22050 -frames:v 494 -t 32.934 \
            -c:v mpeg4 -q:v 3 -c:a pcm_s16le "$clip" || exit 1
    fi
fi
