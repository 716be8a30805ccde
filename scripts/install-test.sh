#!/usr/bin/env bash
# The packages as a Windows user meets them, under Wine in a prefix of their own (never the
# project's build/wineprefix): the installer's silent install, a 2D Graphics run through
# KestrelRun from the installed folder with Wine reporting Windows 2000, 98 and XP (XP with the
# folder read-only, as Program Files is for a limited user), the installer in Japanese, a
# reinstall and the uninstaller, which must leave only what the user saved. Also the zip's
# contents and the version resources. Prints one line a check and
# "install tests: N passed, M failed"; exits non-zero on a failure.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# The test command has built everything (KESTREL_BUILT) and made the packages (KESTREL_PACKAGED)
# already.
[ -n "${KESTREL_BUILT:-}" ] || k_build_program
if [ -n "${KESTREL_PACKAGED:-}" ]; then k_package_names; else k_package; fi
k_display
trap 'k_cleanup' EXIT

T=$KBUILD/install-test
CLEAN=$KBUILD/wineprefix-clean
passed=0 failed=0
check() { # check <name> <command...>
    local name=$1; shift
    if "$@"; then echo "ok   $name"; passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}
# Read-only folders are made immutable (the tests run as root, whom permissions do not stop).
K_LOCKED=()
lock()   { chattr +i "$1" && K_LOCKED+=("$1"); }
unlock() { chattr -i "$1" 2>/dev/null; }
k_cleanup() {
    local d
    for d in "${K_LOCKED[@]}"; do unlock "$d"; done
    wineserver -k >/dev/null 2>&1
    k_display_stop
}

# A prefix copied with the system's DLLs shared: Wine never writes them, and they are most of it.
copy_prefix() { # copy_prefix <from> <to>
    mkdir -p "$2" && tar -C "$1" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$2" -xf - \
        && cp -al "$1/drive_c/windows/system32" "$2/drive_c/windows/"
}

# A pristine prefix made once as k_prefix makes the project's (virtual desktop, no Mono or Gecko
# dialogs); every run starts from a fresh copy of it.
if [ "$(cat "$CLEAN/.kestrel-ready" 2>/dev/null)" != "$K_PREFIX_VERSION" ]; then
    rm -rf "$CLEAN"
    WINEPREFIX=$CLEAN k_prefix
    WINEPREFIX=$CLEAN wineserver -w
fi
[ -d "$T/prefix" ] && for d in "$T"/prefix*/drive_c/Program\ Files/Kestrel; do unlock "$d"; done
rm -rf "$T" && mkdir -p "$T" && copy_prefix "$CLEAN" "$T/prefix" || die "cannot copy the clean prefix"
export WINEPREFIX=$T/prefix
# No desktop entries on the host for the Start-menu entries the installer makes.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

stage=$KBUILD/package/Kestrel
inst_win='C:\Program Files\Kestrel'
key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrel'
inst() { echo "$WINEPREFIX/drive_c/Program Files/Kestrel"; }
menu() { find "$WINEPREFIX/drive_c" -type d -path '*Start Menu/Programs/Kestrel' 2>/dev/null | head -n 1; }
appdata() { find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -path '*AppData/Roaming' | head -n 1; }

# The installed files are the package's, plus the uninstaller and the files named (the user's).
same_files() { # same_files [user file...]
    local allowed=Uninstall.exe f
    for f in "$@"; do allowed="$allowed|$f"; done
    ! diff -r -q "$stage" "$(inst)" | grep -v -x -E "Only in $(inst): ($allowed)" | grep -q .
}
# The Add/Remove Programs entry's values, from the registry file the server writes on exit.
uninstall_key() { K="[$key]" awk 'index($0, ENVIRON["K"]) == 1 { on = 1; next } on && /^$/ { exit } on' "$WINEPREFIX/system.reg"; }
key_has() { uninstall_key | grep -q -F -- "$1"; }
no_key() { ! grep -q -i '^\[.*kestrel' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg"; }
# A results file that holds a 2D Graphics score.
scored() { tr -d '\r' <"$1" | grep -A1 -F '<2D Graphics>' | grep -q -E 'Kestrel Score +[0-9]+'; }
# KestrelRun from the installed folder, 2D Graphics with the frame-time record; its output in $T/<name>.out.
run_2d() { # run_2d <name> [args]
    local name=$1; shift
    (cd "$(inst)" && timeout 600 wine KestrelRun.exe --tests 7 --frametime --timeout 400 "$@") >"$T/$name.out" 2>&1
    local code=$?
    wineserver -w
    [ $code = 0 ] || { tail -n 5 "$T/$name.out"; return 1; }
}
# What of ours is left on the C: drive: paths naming Kestrel, less those given.
leftovers() { find "$WINEPREFIX/drive_c" -ipath '*kestrel*' | sed "s|^$WINEPREFIX/drive_c/||" | sort; }

say "install tests in $WINEPREFIX"
start=$(date +%s)

# --- the package itself
zip_files() { unzip -Z1 "$K_ZIP" | grep -v '/$' | sed 's|^Kestrel/||' | sort | diff -q - "$KBUILD/package/files.txt" >/dev/null; }
check "zip holds the installer's files" zip_files
check "no build stamps shipped" bash -c "! find '$stage' -name '.kb_*' | grep -q ."
# The version resource's fixed part (signature, then file version as two dwords) and its strings.
version_resource() {
    python3 - "$1" "$K_VERSION" <<'EOF'
import re, struct, sys
data, version = open(sys.argv[1], 'rb').read(), sys.argv[2]
at = data.find(struct.pack('<I', 0xFEEF04BD))
if at < 0:
    sys.exit(1)
ms, ls = struct.unpack_from('<II', data, at + 8)
numbers = '%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16)
# The string's name, its padding to a dword, then the value.
text = re.escape('ProductVersion'.encode('utf-16-le')) + b'(?:\0\0)+' + re.escape((version + '\0').encode('utf-16-le'))
sys.exit(0 if numbers == version and re.search(text, data) else 1)
EOF
}
for exe in Kestrel KestrelRun KsxView; do check "$exe.exe carries version $K_VERSION" version_resource "$stage/$exe.exe"; done
check "README names the packages of this version" grep -q -F "Kestrel-$K_VERSION-setup.exe" "$KROOT/README.md"
# The installer (and the uninstaller it writes, the same stub) keeps the system floor of the
# program; its processor floor is the Pentium Pro (tools/Floor/installer.txt says why).
F=$KROOT/tools/Floor
check "installer imports only what Windows 98 SE exports" \
    bash "$F/floor-check.sh" imports 98 "$F/imports.txt" "$K_SETUP"
check "installer holds no instruction beyond a Pentium Pro" \
    bash "$F/floor-check.sh" code "$F/installer.txt" "$K_SETUP"

# --- silent install into the default folder
wine "$K_SETUP" /S >/dev/null 2>&1; wineserver -w
check "installed into C:\\Program Files\\Kestrel: the package's files" same_files
check "Start menu: Kestrel, help page, uninstaller" test -f "$(menu)/Kestrel.lnk" -a -f "$(menu)/Kestrel Help.lnk" -a -f "$(menu)/Uninstall Kestrel.lnk"
for v in '"DisplayName"="Kestrel '"$K_VERSION"'"' '"DisplayVersion"="'"$K_VERSION"'"' '"Publisher"=' \
         '"EstimatedSize"=dword:' '"UninstallString"="\"C:\\Program Files\\Kestrel\\Uninstall.exe\""' \
         '"InstallLocation"="C:\\Program Files\\Kestrel"' '"DisplayIcon"=' '"NoModify"=dword:00000001' \
         '"NoRepair"=dword:00000001'; do
    check "Add/Remove Programs: ${v%%=*}" key_has "$v"
done

# Wine reports the system version <v> from here on.
report_version() { # report_version win98|win2k|winxp
    local want
    want=$(case $1 in win98) echo 4.10 ;; win2k) echo 5.0 ;; winxp) echo 5.1 ;; esac)
    wine winecfg -v "$1" >/dev/null 2>&1; wineserver -w
    check "$1: Wine reports version $want" bash -c "wine cmd /c ver 2>/dev/null | grep -q -F 'Windows $want.'"
}

# --- Windows 2000: a run from the installed folder, the results file and the record beside Kestrel.exe
report_version win2k
check "win2k: 2D Graphics run from the installed folder" run_2d win2k
check "win2k: results file saved in the installed folder" scored "$(inst)/Kestrel.txt"
check "win2k: frame-time record beside Kestrel.exe" test -s "$(inst)/KestrelFrames.csv"
cp "$(inst)/Kestrel.txt" "$T/saved.txt"

# --- Windows 98 and XP, each in a copy of this prefix
for v in win98 winxp; do
    WINEPREFIX=$T/prefix-$v
    copy_prefix "$T/prefix" "$WINEPREFIX"
    rm -f "$(inst)/Kestrel.txt" "$(inst)/KestrelFrames.csv"
    report_version $v
    if [ $v = winxp ]; then
        # A limited user: the program's folder cannot be written, so the user's folder is used.
        lock "$(inst)"
        check "$v: 2D Graphics run with the folder read-only" run_2d $v
        unlock "$(inst)"
        check "$v: results file in the application-data folder" scored "$(appdata)/Kestrel/Kestrel.txt"
        check "$v: frame-time record there, and found by the runner" \
            bash -c "test -s '$(appdata)/Kestrel/KestrelFrames.csv' && grep -q -F '[Frame Times]' '$T/$v.out'"
        check "$v: nothing written into the program's folder" same_files
    else
        check "$v: 2D Graphics run" run_2d $v
        check "$v: results file saved" scored "$(inst)/Kestrel.txt"
    fi
    wineserver -k >/dev/null 2>&1; wineserver -w
    rm -rf "$WINEPREFIX"
done
export WINEPREFIX=$T/prefix

# --- the installer and uninstaller in Japanese, on a Japanese system
WINEPREFIX=$T/prefix-ja
copy_prefix "$T/prefix" "$WINEPREFIX"
LC_ALL=ja_JP.UTF-8 wine "$(inst)/Uninstall.exe" /S >/dev/null 2>&1; wineserver -w
LC_ALL=ja_JP.UTF-8 wine "$K_SETUP" /S >/dev/null 2>&1; wineserver -w
check "Japanese: Start menu entries in Japanese" test -f "$(menu)/Kestrel ヘルプ.lnk" -a -f "$(menu)/Kestrel のアンインストール.lnk"
LC_ALL=ja_JP.UTF-8 wine "$(inst)/Uninstall.exe" /S >/dev/null 2>&1; wineserver -w
check "Japanese: uninstall removes them" test -z "$(menu)"
wineserver -k >/dev/null 2>&1; wineserver -w
rm -rf "$WINEPREFIX"
export WINEPREFIX=$T/prefix

# --- a reinstall over the installed copy, into a folder given with /D=, keeps what the user saved
wine "$K_SETUP" /S "/D=$inst_win" >/dev/null 2>&1; wineserver -w
check "reinstall with /D= into the installed folder" same_files Kestrel.txt KestrelFrames.csv
check "reinstall keeps the user's results" cmp -s "$T/saved.txt" "$(inst)/Kestrel.txt"

# --- the uninstaller removes what it installed and keeps the user's files
wine "$(inst)/Uninstall.exe" /S >/dev/null 2>&1; wineserver -w
expected=$(printf '%s\n' 'Program Files/Kestrel' 'Program Files/Kestrel/Kestrel.txt' 'Program Files/Kestrel/KestrelFrames.csv')
check "uninstall leaves only the user's files" test "$(leftovers)" = "$expected"
check "uninstall keeps the user's results" cmp -s "$T/saved.txt" "$(inst)/Kestrel.txt"
check "uninstall removes the Start menu entries" test -z "$(menu)"
check "uninstall removes the registry keys" no_key

wineserver -k >/dev/null 2>&1
rm -rf "$T/prefix"
say "install tests: $(( $(date +%s) - start )) s"
echo "install tests: $passed passed, $failed failed"
[ $failed = 0 ]
