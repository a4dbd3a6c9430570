#!/bin/sh
# Processor time of playing clips of the catalogue discs' time, as cpu.sh measures it
# (our process plus the X server, against ffplay on the same file): a 640 x 480 Cinepak
# clip and a 640 x 480 8-bit DIB clip, made with ffmpeg from the build's main.avi.
#   bench/media/codecs.sh BUILD_DIR [SECONDS]
build=${1:-build}
secs=${2:-20}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clip=
. "$(dirname "$0")/clip.sh"
make() {
    ffmpeg -nostdin -loglevel error -y -i "$clip" -t "$secs" -vf scale=640:480 "$@" || exit 1
}
make -c:v cinepak -c:a pcm_s16le "$tmp/cinepak.avi"
make -c:v rawvideo -pix_fmt pal8 -c:a pcm_u8 "$tmp/dib8.avi"
for c in cinepak dib8; do
    echo "== $c (640 x 480)"
    "$(dirname "$0")/cpu.sh" "$build" "$secs" "$tmp/$c.avi"
done
