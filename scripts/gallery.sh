#!/usr/bin/env bash
# The gallery: the first, middle and last frame of every scene package in Data/Ksx, captured by
# the scene viewer in frame-locked time with the effects of the row that plays it (benchmark
# scenes with their benchmark row, demo scenes with their demo row, l-packages with the Light
# demo's), written to docs/gallery/<scene>_<frame>.png with docs/gallery/index.md.
#   bash scripts/gallery.sh [scene ...]     e.g. bash scripts/gallery.sh 23 05
# GALLERY_SIZE sets the picture size (default 640x480); GALLERY_OUT another folder for the pictures;
# GALLERY_BUILD=0 takes the builds and Data as they are. A package without a row is captured bare; a row whose package is missing is skipped.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
SIZE=${GALLERY_SIZE:-640x480}
OUT=${GALLERY_OUT:-$KROOT/docs/gallery}

# scene  table  row  [title]
ROWS="
23 bench 0 Game1
05 bench 2 Game2
10 bench 4 Game3
19 bench 6 The Surface
21 bench 7 2D Graphics
24 bench 8 Space Fighter
25 bench 9 Your Fighter
27 bench 10 Closing scene
01 demo 0
02 demo 1
03 demo 2
04 demo 3
06 demo 5
07 demo 6
08 demo 7
09 demo 8
11 demo 10
12 demo 11
13 demo 12
14 demo 13
15 demo 14
16 demo 15
17 demo 16
18 demo 17
28 demo 18
20 demo 19
22 demo 20
26 demo 21
l01 light 0
l20 light 1
l21 light 2
l02 light 3
l22 light 4
l03 light 5
l04 light 6
l05 light 7
l06 light 8
l07 light 9
l08 light 10
l09 light 11
l10 light 12
l11 light 13
l13 light 14
l14 light 15
l15 light 16
l18 light 17
l19 light 18
l16 light 19
"

# Frames captured besides the first, middle and last: the hangar's screens playing their clips
# under the Targa beacons, in both editions.
EXTRA="
06 150
l03 150
"

if [ "${GALLERY_BUILD:-1}" != 0 ]; then
    k_build_program
fi
k_display
trap k_display_stop EXIT
k_prefix

BIN=$KBUILD/win/bin
[ -x "$BIN/KsxView.exe" ] || die "KsxView.exe was not built"
TMP=gallery.tmp
rm -rf "${BIN:?}/$TMP"
mkdir -p "$BIN/$TMP" "$OUT"

# The scenes to capture: those named, or every package present.
if [ $# -gt 0 ]; then
    scenes="$*"
else
    scenes=$(cd "$BIN/Data/Ksx" && ls *.ksx 2>/dev/null | sed 's/\.ksx$//' | sort)
fi
[ -n "$scenes" ] || die "no scene packages in $BIN/Data/Ksx"

# Old pictures of the captured scenes go; others stay until their scene is captured again.
for s in $scenes; do rm -f "$OUT/${s}_"[0-9]*.png; done

captured=()
for s in $scenes; do
    if [ ! -f "$BIN/Data/Ksx/$s.ksx" ]; then
        say "$s: no package, skipped"
        continue
    fi
    line=$(echo "$ROWS" | awk -v s="$s" '$1 == s { print; exit }')
    args=()
    if [ -n "$line" ]; then
        set -- $line
        case $2 in
            bench) args=(--bench "$3") ;;
            demo)  args=(--demo "$3") ;;
            light) args=(--light --demo "$3") ;;
        esac
    fi
    extra=$(echo "$EXTRA" | awk -v s="$s" '$1 == s { print "," $2; exit }')
    say "$s ${args[*]}"
    if ! (cd "$BIN" && wine KsxView.exe "$s" "${args[@]}" --size "$SIZE" --frames "start,mid,end$extra" --out "$TMP" \
            2>&1 | tr -d '\r' | sed 's/^/   /'); then
        say "$s: the viewer failed, skipped"
        continue
    fi
    n=0
    for f in "$BIN/$TMP/${s}_"[0-9]*.png; do
        [ -f "$f" ] || continue
        mv "$f" "$OUT/"
        n=$((n + 1))
    done
    [ "$n" -gt 0 ] && captured+=("$s")
done
rm -rf "${BIN:?}/$TMP"

# The index lists every picture in the folder, scene by scene in table order, then the rest.
{
    echo "# Gallery"
    echo
    echo "Frames captured by the scene viewer (\`KsxView.exe\`) in frame-locked time: the first, middle"
    echo "and last frame of each scene package, played with the effects of its benchmark or demo row."
    echo "Made by \`bash scripts/gallery.sh\`. 06 and l03 add frame 150: the hangar's screens play their"
    echo "clips (a 24-bit and a 16-bit AVI) under beacon glows from a Targa image with alpha."
    echo
    listed=" "
    order=$(echo "$ROWS" | awk 'NF { print $1 }')
    others=$(ls "$OUT" | sed -n 's/^\(.*\)_[0-9]\{4,\}\.png$/\1/p' | sort -u)
    for s in $order $others; do
        case $listed in *" $s "*) continue ;; esac
        pics=$(cd "$OUT" && ls "${s}_"[0-9]*.png 2>/dev/null | sort) || true
        [ -n "$pics" ] || continue
        listed="$listed$s "
        line=$(echo "$ROWS" | awk -v s="$s" '$1 == s { print; exit }')
        if [ -n "$line" ]; then
            set -- $line
            title=$(echo "$line" | cut -d' ' -f4-)
            case $2 in light) table="Light demo" ;; *) table=$2 ;; esac
            echo "## $s.ksx${title:+: $title} ($table row $3)"
        else
            echo "## $s.ksx"
        fi
        echo
        for p in $pics; do
            frame=$(echo "$p" | sed 's/^.*_0*\([0-9][0-9]*\)\.png$/\1/')
            echo "![$s frame $frame]($p)"
        done
        echo
    done
} >"$OUT/index.md"

say "captured ${#captured[@]} scenes: ${captured[*]:-none}"
du -sh "$OUT"
