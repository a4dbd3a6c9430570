# Sourced by the scripts that walk the running catalogue with real X input (scripts/run,
# scripts/memcheck). Needs xdotool and a display.
#
# catalogue_window PID [SETTLE]: waits up to five minutes for the window of the catalogue
#   running as PID, then SETTLE seconds (2 by default) for it to be maximised and
#   painted; sets `win` to it and `cl`, `ct` to where the 700 x 628 anchor of the layout
#   stands in its client area. Fails when the window does not come or PID ends first.
# catalogue_click PLACE: clicks, in the client area, one of: english, korean, back,
#   close, man, title (the whole collection).

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
    # The background is the outer size less (9, 36); the platform's frame adds (8, 34) to
    # the client size. Everything is placed from the anchor centred on the background.
    cl=$(((WIDTH + 8 - 9 - 700) / 2))
    ct=$(((HEIGHT + 34 - 36 - 628) / 2))
}

catalogue_click() {
    local x y
    case "$1" in
    english) x=$((493 + 73)) y=$((448 + 14)) ;;
    korean) x=$((326 + 72)) y=$((448 + 14)) ;;
    back) x=$((192 + 50)) y=$((651 + 14)) ;;
    close) x=$((402 + 50)) y=$((651 + 14)) ;;
    man) x=$((457 + 20)) y=$((504 + 8)) ;;
    title) x=$((396 + 40)) y=$((456 + 10)) ;;
    *)
        echo "catalogue_click: no place $1" >&2
        return 2
        ;;
    esac
    xdotool mousemove --window "$win" $((cl + x)) $((ct + y)) click 1
}
