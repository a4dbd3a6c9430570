#!/bin/sh
# Writes the PE fuzzer's seeds into DIR: 32- and 64-bit Windows executables built with the
# MinGW-w64 binutils from the catalogue's form stream, icon and one glyph (as the build
# made them in BUILD_DIR), and one without resources.
# Usage: fuzz/pe/make-seeds.sh BUILD_DIR DIR
set -eu
gen="$(cd "$1/generated" && pwd)"
mkdir -p "$2"
out="$(cd "$2" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
printf '\t.text\n\t.globl start\nstart:\n\txorl %%eax, %%eax\n\tret\n' > start.s
cat > volume.rc <<RC
TFORM1 RCDATA "$gen/TFORM1.bin"
MAINICON ICON "$gen/icon/quillot.ico"
EN_MPPLAY BITMAP "$gen/glyphs/EN_MPPLAY.bmp"
RC
printf 'TFORM1 RCDATA "start.s"\n300 RCDATA "start.s"\n' > small.rc
for t in i686 x86_64; do
    $t-w64-mingw32-as -o start.o start.s
    $t-w64-mingw32-windres --preprocessor=cpp -i volume.rc -o volume.o
    $t-w64-mingw32-windres --preprocessor=cpp -i small.rc -o small.o
    $t-w64-mingw32-ld -s -e start --subsystem windows -o "$out/volume-$t.exe" start.o volume.o
    $t-w64-mingw32-ld -s -e start --subsystem windows -o "$out/small-$t.exe" start.o small.o
    $t-w64-mingw32-ld -s -e start --subsystem windows -o "$out/bare-$t.exe" start.o
done
