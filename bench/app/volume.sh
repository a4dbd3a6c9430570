#!/usr/bin/env bash
# Start-up to the first frame on the screen with a volume read from a Windows executable
# beside the built-in volume, in paired launches on one virtual display (Xvfb). The
# executable is made here from the build's own form and icon with the MinGW-w64 binutils
# (as the tests make theirs), the build's clips linked beside it.
#   bench/app/volume.sh BUILD_DIR [ROUNDS]
# Prints both medians in milliseconds and their ratio.
set -euo pipefail
build="$(cd "${1:?usage: volume.sh BUILD_DIR [ROUNDS]}" && pwd)"
rounds="${2:-21}"
program="$build/app/quillot"
ff="$build/bench/app/firstframe"
work=$(mktemp -d /tmp/quillot-volume-bench-XXXXXX)
trap 'rm -rf "$work"; kill ${xpid:-} 2>/dev/null || true' EXIT

cat >"$work/volume.rc" <<RC
TFORM1 RCDATA "$build/generated/TFORM1.bin"
MAINICON ICON "$build/generated/icon/quillot.ico"
RC
printf '\t.text\n\t.globl start\nstart:\n\txorl %%eax, %%eax\n\tret\n' >"$work/start.s"
(cd "$work" && i686-w64-mingw32-as -o start.o start.s &&
    i686-w64-mingw32-windres --preprocessor=cpp -i volume.rc -o rsrc.o &&
    i686-w64-mingw32-ld -s -e start --subsystem windows -o VOLUME.EXE start.o rsrc.o)
for clip in "$build"/app/*.avi; do ln -s "$clip" "$work/$(basename "$clip" | tr a-z A-Z)"; done

source "$(dirname "$0")/../common/measure.sh"
start_xvfb
sleep 1
for _ in $(seq "$rounds"); do
    "$ff" startup 640 500 "$program" 2>/dev/null >>"$work/builtin.txt"
    "$ff" startup 640 500 "$program" "$work/VOLUME.EXE" 2>/dev/null >>"$work/pe.txt"
done
builtin=$(median <"$work/builtin.txt")
pe=$(median <"$work/pe.txt")
echo "start-up to the first frame: built-in volume $builtin ms, PE volume $pe ms" \
    "(medians of $rounds pairs), ratio PE/built-in $(awk -v a="$pe" -v b="$builtin" 'BEGIN { printf "%.2f", a / b }')"
