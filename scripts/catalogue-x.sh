# Sourced by the scripts that walk the running catalogue with real X input (scripts/run,
# scripts/memcheck). Needs xdotool, a display and the built `scenario` tool.
#
# catalogue_window PID [SETTLE]: waits up to five minutes for the window of the catalogue
#   running as PID, then SETTLE seconds (2 by default) for it to be maximised and
#   painted; sets `win` to it and `places` to where its controls stand in its client
#   area. Fails when the window does not come or PID ends first.
# catalogue_click PLACE: clicks, in the client area, the middle of one of: english,
#   korean, back, close, man, title (the whole collection).
#
# Where the controls stand is not written here: the catalogue itself, run headless at the
# same window size by `scenario`, lays its window out and tells their bounds, so the
# layout has one home (app/Form1.txt for the sizes, app/Layout.cpp for the places).

catalogue_x_build="${BUILD:-${QUILLOT_BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}}"

# catalogue_places OUTER_WIDTH OUTER_HEIGHT: "NAME X Y" for the middle of every control of
# the main window laid out at that outer size, in client coordinates.
catalogue_places() {
    local scenario
    scenario="$(find "$catalogue_x_build/tools" -type f -name scenario -perm -u+x | head -1)"
    [ -n "$scenario" ] || {
        echo "catalogue-x: no scenario tool in $catalogue_x_build/tools" >&2
        return 1
    }
    printf 'resize %d %d\ndump\nclose\n' "$1" "$2" |
        "$scenario" --screen "$1x$2" - |
        awk '$1 == "component" {
            for (i = 3; i <= NF; i++)
                if ($i ~ /^bounds=/) {
                    split(substr($i, 8), b, ",")
                    print $2, b[1] + int(b[3] / 2), b[2] + int(b[4] / 2)
                }
        }'
}

catalogue_window() {
    local pid="$1" settle="${2:-2}" i
    win=""
    for ((i = 0; i < 600; i++)); do
        win="$(xdotool search --onlyvisible --name 'Quillot 05 Vol. 1' 2>/dev/null | head -1 || true)"
        [ -n "$win" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    [ -n "$win" ] || return 1
    sleep "$settle"
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$win")" # WIDTH and HEIGHT of the client area
    # The platform's frame adds (8, 34) to the client size.
    places="$(catalogue_places $((WIDTH + 8)) $((HEIGHT + 34)))" || places=""
    [ -n "$places" ] || {
        echo "catalogue-x: the layout of a ${WIDTH}x${HEIGHT} window could not be worked out" >&2
        return 1
    }
}

catalogue_click() {
    local name x y
    case "$1" in
    english) name=b_english ;;
    korean) name=b_korean ;;
    back) name=back ;;
    close) name=close ;;
    man) name=manImage_eng ;;
    title) name=title ;;
    *)
        echo "catalogue_click: no place $1" >&2
        return 2
        ;;
    esac
    local at
    at="$(awk -v n="$name" '$1 == n { print $2, $3 }' <<<"$places")"
    [ -n "$at" ] || {
        echo "catalogue_click: the window has no $name" >&2
        return 2
    }
    x="${at% *}" y="${at#* }"
    xdotool mousemove --window "$win" "$x" "$y" click 1
}
