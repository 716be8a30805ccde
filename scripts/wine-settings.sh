#!/usr/bin/env bash
# How Wine's Direct3D settings hold Kestrel's scores, quiet and with one core busy: runs of
# KestrelRun alternating between the settings' sides (and between quiet and loaded), N runs a side
# per condition, then per test, condition and side the mean, coefficient of variation, worst run
# and the runs marked disturbed.
#
#   bash scripts/wine-settings.sh [--runs N] [--tests LIST] [--conditions quiet,loaded]
#                                 [--side LABEL:NAME=VALUE[,NAME=VALUE...]]... [--out DIR]
#
# A side sets values under HKCU\Software\Wine\Direct3D in the project's prefix for its runs: a
# number is a DWORD, "-" deletes the value (Wine's default), anything else is a string. Default
# sides: "csmt-on:csmt=-" (Wine's default) and "csmt-off:csmt=0". "loaded" runs with
# scripts/load.sh keeping one core busy (KESTREL_LOAD_LOOPS loops). The runs' files and the raw
# table (runs.tsv) go to --out (default build/wine-settings); the table is printed and written to
# table.md. The prefix's own settings are put back at the end.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
runs=10 tests=0-9 conditions=quiet,loaded out=$KBUILD/wine-settings sides=()
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --tests) tests=$2; shift 2 ;;
    --conditions) conditions=$2; shift 2 ;;
    --side) sides+=("$2"); shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 1 ;;
    esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs wants a count"
[ ${#sides[@]} -gt 0 ] || sides=("csmt-on:csmt=-" "csmt-off:csmt=0")
IFS=, read -r -a conds <<<"$conditions"
for c in "${conds[@]}"; do [ "$c" = quiet ] || [ "$c" = loaded ] || die "a condition is quiet or loaded, not $c"; done

k_build_program
k_display
k_prefix
finish() {
    bash "$KROOT/scripts/load.sh" stop >/dev/null
    k_wine_defaults
    k_display_stop
}
trap finish EXIT
mkdir -p "$out"
out=$(cd "$out" && pwd)
tsv=$out/runs.tsv
printf 'round\tcondition\tside\ttest\tscore\tbusy\tdisturbed\n' >"$tsv"

# side_apply LABEL:NAME=VALUE,...: the side's values in the prefix.
side_apply() {
    local spec=${1#*:} kv name value
    IFS=, read -r -a kv <<<"$spec"
    for p in "${kv[@]}"; do
        name=${p%%=*} value=${p#*=}
        if [ "$value" = - ]; then
            wine reg delete 'HKCU\Software\Wine\Direct3D' /v "$name" /f >/dev/null 2>&1 || true
        elif [[ $value =~ ^[0-9]+$|^0x[0-9a-fA-F]+$ ]]; then
            wine reg add 'HKCU\Software\Wine\Direct3D' /v "$name" /t REG_DWORD /d "$((value))" /f >/dev/null 2>&1
        else
            wine reg add 'HKCU\Software\Wine\Direct3D' /v "$name" /d "$value" /f >/dev/null 2>&1
        fi
    done
    wineserver -w
}

# one ROUND CONDITION SIDE: one run of the chosen tests; its scores and load into the table.
one() {
    local round=$1 cond=$2 side=$3 label=${3%%:*} file log rc=0
    file=$out/$cond-$label-$round.txt log=$out/$cond-$label-$round.log
    side_apply "$side"
    rm -f "$file"
    (cd "$KBUILD/win/bin" && wine KestrelRun.exe --tests "$tests" --out "$(winepath -w "$file")" \
        --timeout "${KESTREL_RUN_TIMEOUT:-1800}") >"$log" 2>&1 || rc=$?
    if [ $rc != 0 ] || [ ! -f "$file" ]; then
        echo "  $cond $label run $round: failed (exit $rc), see $log"
        return 0
    fi
    # Scores from the results file; the share of a core other processes took from the runner's
    # "[Other Processes]" lines.
    awk -v round="$round" -v cond="$cond" -v side="$label" -v logf="$log" '
        BEGIN {
            while ((getline line < logf) > 0) {
                sub(/\r$/, "", line)
                if (line ~ /^\[Other Processes\]/) { on = 1; continue }
                if (on && line ~ /^\[/) on = 0
                if (on && match(line, /  +(n\/a|[0-9.]+ %)/)) {
                    name = substr(line, 1, RSTART - 1); v = substr(line, RSTART, RLENGTH)
                    gsub(/^ +| +$/, "", name); gsub(/ |%/, "", v)
                    busy[name] = v; dist[name] = line ~ /disturbed/ ? 1 : 0
                }
            }
        }
        { sub(/\r$/, "") }
        /^<.*>$/ { test = substr($0, 2, length($0) - 2); next }
        /^Kestrel Score / && test != "" {
            if ($3 ~ /^[0-9]+$/)
                printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", round, cond, side, test, $3,
                       (test in busy) ? busy[test] : "n/a", (test in dist) ? dist[test] : 0
            test = ""
        }' "$file" >>"$tsv"
    echo "  $cond $label run $round: $(awk -F'\t' -v r="$round" -v c="$cond" -v s="$label" \
        '$1 == r && $2 == c && $3 == s { printf "%s %s%s; ", $4, $5, $7 == 1 ? " (disturbed)" : "" }' "$tsv")"
}

say "Wine's Direct3D settings: $runs run(s) a side, tests $tests, conditions ${conds[*]}, sides ${sides[*]}"
say "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), Wine $(wine --version 2>/dev/null)"
for ((round = 1; round <= runs; round++)); do
    # Alternating: the order of conditions and of sides turns every round, so neither always goes
    # first after a change.
    order=("${conds[@]}") sorder=("${sides[@]}")
    if ((round % 2 == 0)); then
        order=(); for ((i = ${#conds[@]} - 1; i >= 0; i--)); do order+=("${conds[$i]}"); done
        sorder=(); for ((i = ${#sides[@]} - 1; i >= 0; i--)); do sorder+=("${sides[$i]}"); done
    fi
    for cond in "${order[@]}"; do
        if [ "$cond" = loaded ]; then
            bash "$KROOT/scripts/load.sh" start "${KESTREL_LOAD_LOOPS:-1}" >/dev/null
        else
            bash "$KROOT/scripts/load.sh" stop >/dev/null
        fi
        say "round $round of $runs, $cond (load average $(cut -d' ' -f1 /proc/loadavg))"
        for side in "${sorder[@]}"; do one "$round" "$cond" "$side"; done
    done
done
bash "$KROOT/scripts/load.sh" stop >/dev/null
python3 "$KROOT/scripts/settings-table.py" "$tsv" | tee "$out/table.md"
