#!/bin/sh
# Writes the media fuzzer's seeds into DIR: the English introduction cut to a second and
# shrunk, in each codec of the catalogue discs' time, and with dropped frames.
# Usage: fuzz/media/make-seeds.sh BUILD_DIR DIR
set -eu
src="$1/app/main_eng.avi"
out="$2"
mkdir -p "$out"
enc() { ffmpeg -nostdin -v error -y -i "$src" -t 1 -vf scale=32:24 "$@"; }
enc -c:v cinepak -c:a pcm_u8 -ar 11025 -ac 1 "$out/cinepak.avi"
enc -c:v msvideo1 -c:a pcm_s16le -ar 11025 -ac 2 "$out/msvideo1.avi"
enc -c:v msmpeg4v2 -c:a adpcm_ms -ar 11025 -ac 1 "$out/msmpeg4v2.avi"
enc -c:v msmpeg4 -c:a adpcm_ima_wav -ar 11025 -ac 2 "$out/msmpeg4v3.avi"
enc -c:v mjpeg -c:a libmp3lame -ar 22050 -ac 1 "$out/mjpeg.avi"
enc -c:v rawvideo -pix_fmt bgr24 -an "$out/dib24.avi"
enc -c:v rawvideo -pix_fmt pal8 -an "$out/dib8.avi"
enc -c:v libx264 -bf 2 -an "$out/h264.avi"
ffmpeg -nostdin -v error -y -i "$src" -t 1 -vf "scale=32:24,select='mod(n\,4)'" -fps_mode vfr \
    -c:v mpeg4 -c:a pcm_u8 -ar 11025 "$out/dropped.avi"
