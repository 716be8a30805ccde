#!/usr/bin/env bash
# The system and processor floor of the shipped executables, checked on the linked files.
#
#   floor-check.sh imports <floor> <list> <exe>...
#       Every function an executable imports must be exported by its DLL on <floor> (98 or
#       2000), as <list> records: lines "dll floor function", the floor being the first system
#       that exports it.
#   floor-check.sh code <list>[:<list>...] <binary>...
#       No instruction beyond an i586 with MMX (CMOV, FCMOV, FCOMI, long NOP, SSE, SSE2, 3DNow!)
#       outside the functions that the lists name (one demangled name a line): the processor
#       variants chosen at run time. A line "@P6" allows the Pentium Pro's instructions anywhere
#       (the installer's stub, which cannot be rebuilt here).
#
# Each refusal names the import or the function and its instructions; the exit code is 1 then.
set -u
OBJDUMP=${OBJDUMP:-objdump}
command -v "$OBJDUMP" >/dev/null || OBJDUMP=i686-w64-mingw32-objdump

_usage() { echo "usage: $0 imports <98|2000> <list> <exe>... | code <list>[:<list>...] <binary>..." >&2; exit 2; }

# "dll function" for every imported function of a PE file, DLL names in lower case.
_imports() {
    "$OBJDUMP" -p "$1" | awk '
        /DLL Name:/ { dll = tolower($3); next }
        /^[ \t]*$/ { next }
        dll != "" && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+[ \t]*$/ { print dll, $3 }'
}

_checkImports() {
    local floor=$1 list=$2 exe status=0
    shift 2
    case $floor in 98|2000) ;; *) _usage ;; esac
    [ -r "$list" ] || { echo "floor: cannot read $list" >&2; return 2; }
    for exe in "$@"; do
        [ -r "$exe" ] || { echo "floor: cannot read $exe" >&2; status=1; continue; }
        local out
        out=$(_imports "$exe" | awk -v floor="$floor" -v exe="$(basename "$exe")" '
            # the list first: "dll floor function"
            FNR == NR {
                sub(/#.*/, "")
                if (NF == 0) next
                if (NF != 3 || ($2 != "98" && $2 != "2000")) { print "floor: bad line in list: " $0; bad = 1; next }
                since[tolower($1) " " $3] = $2 + 0
                next
            }
            {
                n++
                key = $1 " " $2
                if (!(key in since))
                    { print exe ": " $1 " " $2 " is not known to be exported by Windows " floor; bad = 1 }
                else if (since[key] > floor + 0)
                    { print exe ": " $1 " " $2 " is exported only from Windows " since[key] " (floor: " floor ")"; bad = 1 }
            }
            END {
                if (n == 0) { print exe ": no imports read"; bad = 1 }
                if (!bad) print exe ": " n " imports, all exported by Windows " floor
                exit bad
            }' "$list" -) || status=1
        echo "$out"
    done
    return $status
}

_checkCode() {
    local variants=$1 bin status=0
    shift
    for bin in "$@"; do
        [ -r "$bin" ] || { echo "floor: cannot read $bin" >&2; status=1; continue; }
        "$OBJDUMP" -d -C --no-show-raw-insn "$bin" | awk -v bin="$(basename "$bin")" -v list="$variants" '
            BEGIN {
                nl = split(list, lists, ":")
                for (i = 1; i <= nl; i++) {
                    if ((getline line < lists[i]) < 0) { print "floor: cannot read " lists[i]; nolist = 1; exit 2 }
                    do {
                        sub(/[ \t]*#.*/, "", line)
                        # "@P6": a kind of instruction allowed everywhere in the binary
                        if (line ~ /^@/) kinds[substr(line, 2)] = 1
                        else if (line != "") allowed[line] = 1
                    } while ((getline line < lists[i]) > 0)
                }
                # Pentium III (SSE) and Athlon (3DNow!/MMX extensions) instructions that take no
                # xmm register; xmm operands are caught below.
                split("ldmxcsr stmxcsr sfence lfence mfence clflush movnti movntq maskmovq " \
                      "prefetchnta prefetcht0 prefetcht1 prefetcht2 pshufw pavgb pavgw pextrw " \
                      "pinsrw pmaxsw pmaxub pminsw pminub pmovmskb pmulhuw psadbw fisttp fisttps " \
                      "fisttpl fisttpll popcnt lzcnt movbe", w, " ")
                for (i in w) sse[w[i]] = 1
                split("femms pavgusb pmulhrw pswapd prefetch prefetchw pi2fd pi2fw pf2id pf2iw", w, " ")
                for (i in w) amd[w[i]] = 1
            }
            # "00401000 <name>:" starts a function
            /^[0-9a-f]+ <.*>:$/ {
                fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn)
                next
            }
            /^[ \t]+[0-9a-f]+:\t/ {
                split($0, f, "\t")
                insn = f[2]; sub(/^[ \t]+/, "", insn)
                m = insn; sub(/[ \t].*/, "", m)
                if (m == "lock" || m == "rep" || m == "repz" || m == "repnz" || m == "data16") {
                    rest = insn; sub(/^[^ \t]+[ \t]+/, "", rest); m = rest; sub(/[ \t].*/, "", m)
                }
                kind = ""
                if (m ~ /^(f?cmov|f?u?comip?$)/) kind = "P6"
                else if (m ~ /^nop[wl]$/) kind = "P6"
                else if (m ~ /^pf/ || (m in amd)) kind = "3DNow!"
                else if (insn ~ /%xmm/ || (m in sse)) kind = "SSE"
                # data that the MinGW linker script places inside .text: the constructor and
                # destructor lists and the exception tables; their bytes only look like code
                if (kind == "" || (fn in allowed) || (kind in kinds) || fn ~ /^(__[CD]TOR_LIST__|\.[cd]tors(\.[0-9]+)?|\.gcc_except_table)$/) next
                key = fn "\t" m " (" kind ")"
                if (!(key in count)) order[++n] = key
                count[key]++
            }
            END {
                if (nolist) exit 2
                for (i = 1; i <= n; i++) {
                    split(order[i], k, "\t")
                    printf "%s: %s: %s x%d\n", bin, k[1], k[2], count[order[i]]
                }
                if (n == 0 && ("P6" in kinds)) print bin ": no instruction beyond a Pentium Pro outside the listed functions"
                else if (n == 0) print bin ": no instruction beyond an i586 with MMX outside the listed functions"
                exit n > 0
            }' || status=1
    done
    return $status
}

[ $# -ge 1 ] || _usage
mode=$1; shift
case $mode in
    imports) [ $# -ge 3 ] || _usage; _checkImports "$@" ;;
    code)    [ $# -ge 2 ] || _usage; _checkCode "$@" ;;
    *)       _usage ;;
esac
