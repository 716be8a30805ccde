# Shared by the run, test and bench scripts: packages, builds, Wine prefix and display.
# Everything here is idempotent and quiet when there is nothing to do.

KROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KBUILD=${KESTREL_BUILD:-$KROOT/build}
export WINEPREFIX=${WINEPREFIX:-$KBUILD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Paths below the checkout's parent are hashed relative, so clones share the compiler cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$KROOT")}
# With -g the compiler's folder is hashed too, which would make every clone miss the cache.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
JOBS=${JOBS:-$(nproc)}

say() { echo "== $*"; }
die() { echo "error: $*" >&2; exit 1; }

# Install the Debian packages that are missing (as root).
k_packages() {
    local want missing=() p
    want=$(grep -v -E '^\s*(#|$)' "$KROOT/scripts/packages.txt")
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386 || die "cannot add the i386 architecture (run as root)"
        rm -f /var/lib/apt/periodic/kestrel-updated
    fi
    for p in $want; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    [ "$(id -u)" = 0 ] || die "missing packages: ${missing[*]} (run as root)"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null || die "apt-get update failed"
    apt-get install -y -qq "${missing[@]}" >/dev/null || die "apt-get install failed"
}

# The source of the installed MinGW-w64 C runtime, from Debian's source archive (once a
# version): the Windows build compiles the runtime pieces it links for the processor floor
# (cmake/FloorRuntime.cmake). Prints the mingw-w64-crt folder.
K_SRC_CACHE=${KESTREL_SRC_CACHE:-/var/cache/kestrel}
k_mingw_source() {
    local ver dir tmp list
    ver=$(dpkg-query -W -f='${Version}' mingw-w64-common 2>/dev/null) || die "mingw-w64-common is not installed"
    dir=$K_SRC_CACHE/mingw-w64-crt-$ver
    if [ ! -f "$dir/crt/crtexe.c" ]; then
        [ "$(id -u)" = 0 ] || die "the MinGW-w64 runtime source is missing (run as root once)"
        say "fetching the source of mingw-w64 $ver" >&2
        tmp=$(mktemp -d) list=$tmp/deb-src.sources
        # A source list of its own, so the system's package lists stay as they are.
        local uri suite
        uri=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
        suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
        printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
            "${uri:-http://deb.debian.org/debian}" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg >"$list"
        local opts=(-o "Dir::Etc::sourcelist=$list" -o Dir::Etc::sourceparts=- -o "Dir::State::Lists=$tmp/lists"
                    -o APT::Get::List-Cleanup=0)
        mkdir -p "$tmp/lists/partial"
        (cd "$tmp" && apt-get "${opts[@]}" update -qq >/dev/null 2>&1 &&
            apt-get "${opts[@]}" source --download-only -qq "mingw-w64=$ver" >/dev/null 2>&1) ||
            { rm -rf "$tmp"; die "cannot fetch the source of mingw-w64 $ver"; }
        mkdir -p "$K_SRC_CACHE"
        tar -xjf "$tmp"/mingw-w64_*.orig.tar.bz2 -C "$tmp" --wildcards '*/mingw-w64-crt/*' ||
            { rm -rf "$tmp"; die "cannot unpack the source of mingw-w64 $ver"; }
        rm -rf "$dir" && mv "$tmp"/mingw-w64-v*/mingw-w64-crt "$dir"
        rm -rf "$tmp"
    fi
    echo "$dir"
}

# Configure (once) and build one tree: k_build <dir> <toolchain> [cmake args...]
k_build() {
    local dir=$1 tc=$2; shift 2
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        # ccache keeps rebuilds of unchanged sources cheap across trees and clones.
        local launch=()
        command -v ccache >/dev/null && launch=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S "$KROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$KROOT/cmake/$tc" "${launch[@]}" "$@" >"$dir.configure.log" 2>&1 \
            || { cat "$dir.configure.log"; die "configure of $dir failed"; }
    fi
    cmake --build "$dir" -j "$JOBS" >"$dir.build.log" 2>&1 || { tail -n 60 "$dir.build.log"; die "build of $dir failed"; }
    grep -E 'warning:' "$dir.build.log" | sort -u | head -n 20
    return 0
}

k_build_native() { mkdir -p "$KBUILD"; k_build "$KBUILD/native" toolchain-native-m32.cmake; }
k_build_win()    {
    local crt
    crt=$(k_mingw_source) || exit 1
    mkdir -p "$KBUILD"; k_build "$KBUILD/win" toolchain-mingw-i686.cmake -DKESTREL_MINGW_CRT_SOURCE="$crt"
}
k_build_fuzz()   {
    mkdir -p "$KBUILD"
    k_build "$KBUILD/fuzz" toolchain-native-m32.cmake -DKESTREL_FUZZ=ON -DKESTREL_BENCH=OFF \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
}

# The content builders (kb_<area>) write Data beside Kestrel.exe.
k_content() {
    local tool out=$KBUILD/win/bin/Data
    mkdir -p "$out"
    for tool in "$KBUILD"/native/bin/kb_*; do
        [ -x "$tool" ] || continue
        # A builder writes again only when it was rebuilt since its last run.
        local stamp=$out/.$(basename "$tool").done
        [ "$stamp" -nt "$tool" ] && continue
        # Each builder keeps its own log: the scene table of kb_content is read after the build.
        local log=$KBUILD/content.$(basename "$tool").log
        "$tool" "$out" >"$log" 2>&1 || { cat "$log"; die "content builder $(basename "$tool") failed"; }
        touch "$stamp"
    done
}

# The project's Wine prefix: created once, virtual desktop 1600x1200, a Japanese dialog font
# that also has Latin letters, and the Direct3D settings of k_wine_defaults.
K_PREFIX_VERSION=3
k_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        say "creating the Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    if [ "$(cat "$WINEPREFIX/.kestrel-ready" 2>/dev/null)" != "$K_PREFIX_VERSION" ]; then
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1200 /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d 'VL PGothic' /f >/dev/null 2>&1
        k_wine_defaults
        echo "$K_PREFIX_VERSION" >"$WINEPREFIX/.kestrel-ready"
    fi
    k_video_memory "${KESTREL_VRAM_MB:-}"
}

# Wine's Direct3D settings the project's runs use. The command-stream thread off (csmt = 0): with
# it on, on two cores, a 3D score falls to a fraction of itself whenever another process works,
# and scores less on a quiet machine too (README, "Wine settings").
k_wine_defaults() {
    wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
}

# k_video_memory [MiB]: what Wine reports as video memory for the following runs (empty: Wine's own).
k_video_memory() {
    if [ -n "$1" ]; then
        wine reg add 'HKCU\Software\Wine\Direct3D' /v VideoMemorySize /d "$1" /f >/dev/null 2>&1
    else
        # Absent already is fine.
        wine reg delete 'HKCU\Software\Wine\Direct3D' /v VideoMemorySize /f >/dev/null 2>&1 || true
    fi
    wineserver -w
}

# Silent sound output when the machine has no sound card, so DirectSound still opens.
k_sound() {
    grep -q '^ *[0-9]' /proc/asound/cards 2>/dev/null && return 0
    local conf=/etc/asound.conf
    [ "$(id -u)" = 0 ] || conf=$HOME/.asoundrc
    [ -f "$conf" ] || printf 'pcm.!default { type null }\n' >"$conf"
    return 0
}

# All a run of the program under Wine needs: packages, both builds, the content and sound output.
k_build_program() {
    k_packages
    k_build_native
    k_build_win
    k_content
    k_sound
}

# A private PostgreSQL cluster in a folder (run as nobody when root, on a Unix socket there, no
# TCP): k_pg_start FOLDER prints the address of its maintenance database; k_pg_stop FOLDER stops it
# and removes the folder. The tests start theirs through a ctest fixture with the same script.
k_pg_start() { bash "$KROOT/tests/tools/Results/pg-cluster.sh" start "$1"; }
k_pg_stop()  { bash "$KROOT/tests/tools/Results/pg-cluster.sh" stop "$1"; }

# Xvfb only when there is no display; stopped by k_display_stop.
K_XVFB_PID=
k_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    # Xvfb picks a free display itself: two lanes starting at once never share one.
    local fd=$KBUILD/.xvfb.$$ n
    mkdir -p "$KBUILD"; rm -f "$fd"
    Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$fd" >/dev/null 2>&1 &
    K_XVFB_PID=$!
    for _ in $(seq 100); do
        n=$(cat "$fd" 2>/dev/null)
        if [ -n "$n" ]; then
            rm -f "$fd"
            export DISPLAY=":$n"
            return 0
        fi
        sleep 0.1
    done
    die "Xvfb did not start"
}
k_display_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$K_XVFB_PID" ]; then kill "$K_XVFB_PID" 2>/dev/null; wait "$K_XVFB_PID" 2>/dev/null; fi
    K_XVFB_PID=
}

# The Windows packages under build/package (after k_build_win and k_content): the folder a user
# gets (Kestrel/), the installer Kestrel-<version>-setup.exe and the same files as a zip.
# The packages' names: sets K_VERSION, K_SETUP and K_ZIP.
k_package_names() {
    local header=$KBUILD/win/generated/KestrelVersion.h
    K_VERSION=$(sed -n 's/^#define KESTREL_VERSION "\(.*\)"$/\1/p' "$header")
    [ -n "$K_VERSION" ] || die "no version in $header"
    K_SETUP=$KBUILD/package/Kestrel-$K_VERSION-setup.exe
    K_ZIP=$KBUILD/package/Kestrel-$K_VERSION.zip
}
# Stages the programs and content and makes the installer and the zip; sets what k_package_names
# sets.
k_package() {
    local out=$KBUILD/package bin=$KBUILD/win/bin header=$KBUILD/win/generated/KestrelVersion.h
    local stage=$out/Kestrel publisher kb
    k_package_names
    publisher=$(sed -n 's/^#define KESTREL_PUBLISHER "\(.*\)"$/\1/p' "$header")
    rm -rf "$stage" && mkdir -p "$stage" || die "cannot make $stage"
    # The programs, everything the content builders wrote but their stamps, the help pages.
    cp "$bin/Kestrel.exe" "$bin/KestrelRun.exe" "$bin/KsxView.exe" "$stage/" || die "the Windows build is incomplete"
    tar -C "$bin" --exclude='.kb_*.done' --exclude='ForceLightList' -cf - Data Html | tar -C "$stage" -xf - \
        || die "cannot copy Data and Html"
    sed -e "s/@VERSION@/$K_VERSION/" -e 's/$/\r/' "$KROOT/scripts/installer/Readme.txt" >"$stage/Readme.txt"

    # One list installs the files and the other removes exactly those, deepest folders last.
    (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort) >"$out/dirs.txt"
    (cd "$stage" && find . -type f | sed 's|^\./||' | sort) >"$out/files.txt"
    awk -v stage="$stage" '{
        d = $0; if (!sub(/\/[^\/]*$/, "", d)) d = ""
        if (NR == 1 || d != cur) { cur = d; w = d; gsub(/\//, "\\", w); print "SetOutPath \"$INSTDIR" (w == "" ? "" : "\\" w) "\"" }
        print "File \"" stage "/" $0 "\""
    }' "$out/files.txt" >"$out/files.nsh"
    {
        sed -e 's|/|\\|g' -e 's|^\(.*\)$|Delete "$INSTDIR\\\1"|' "$out/files.txt"
        sort -r "$out/dirs.txt" | sed -e 's|/|\\|g' -e 's|^\(.*\)$|RMDir "$INSTDIR\\\1"|'
    } >"$out/unfiles.nsh"

    # Compressing takes minutes: done again only when a file, the script or the version changed.
    local sum
    sum=$({
        (cd "$stage" && find . -type f ! -name Readme.txt -printf '%P %s %T@\n' | sort)
        md5sum <"$stage/Readme.txt"; md5sum <"$KROOT/scripts/installer/Kestrel.nsi"; echo "$publisher"
    } | md5sum | cut -d' ' -f1)
    if [ -f "$K_SETUP" ] && [ -f "$K_ZIP" ] && [ "$(cat "$out/inputs.md5" 2>/dev/null)" = "$sum" ]; then
        return 0
    fi
    kb=$(( $(du -sb "$stage" | cut -f1) / 1024 ))
    rm -f "$K_SETUP" "$K_ZIP" "$out/inputs.md5"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$K_VERSION" -DPUBLISHER="$publisher" -DESTIMATED_KB="$kb" \
        -DFILES="$out/files.nsh" -DUNFILES="$out/unfiles.nsh" -DICON="$KROOT/res/Kestrel.ico" \
        -DOUTFILE="$K_SETUP" "$KROOT/scripts/installer/Kestrel.nsi" >"$out/makensis.log" 2>&1 \
        || { cat "$out/makensis.log"; die "makensis failed"; }
    (cd "$out" && zip -q -r -X "$K_ZIP" Kestrel) || die "zip failed"
    echo "$sum" >"$out/inputs.md5"
}
