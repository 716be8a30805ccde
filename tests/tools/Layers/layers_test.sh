#!/usr/bin/env bash
# The layer check against small planted trees: each row is a file, one line it holds, and whether
# the check passes; a failing row must name the file in the report.
set -u
check=$1
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
status=0

rows='Library/Vec/A.cpp|#include "Common/D3DTYPES.h"|pass
System/Draw/A.cpp|#include "Library/Vec/VECLIB.h"|pass
App/Scene/A.cpp|#include "System/Shape/Shape.h"|pass
App/Scene/A.cpp|#include "LW/OBJ2/LWO2.h"|pass
System/Sys/A.cpp|#include "resource.h"|pass
App/Bench/A.cpp|#include "BENCHTBL.h"|pass
Library/Draw/A.cpp|  #  include <windows.h>|pass
Library/Draw/A.cpp|#include "System/Draw/DrawMan.h"|fail
System/Shape/A.h|#include "App/Scene/SceneCore.h"|fail
Common/A.h|#include "Library/Vec/VECLIB.h"|fail
LW/OBJ2/A.cpp|  # include "System/Debug/X.h"|fail
System/Sys/A.cpp|#include "Driver/Driver.h"|fail
Tools/A.cpp|#include "Common/D3DTYPES.h"|fail'

while IFS='|' read -r file line want; do
    rm -rf "$tmp/src"; mkdir -p "$tmp/src/$(dirname "$file")"
    printf '// planted\n%s\n' "$line" >"$tmp/src/$file"
    out=$(bash "$check" "$tmp" 2>&1); rc=$?
    got=pass; [ $rc = 0 ] || got=fail
    if [ "$got" != "$want" ]; then
        echo "FAIL: $file with '$line': expected $want, got $got"; echo "$out"; status=1
    elif [ "$want" = fail ] && ! grep -q "src/$file:2:" <<<"$out"; then
        echo "FAIL: $file with '$line': report does not name the line"; echo "$out"; status=1
    fi
done <<<"$rows"

# Two folders that include each other form a circle: the check fails and names both includes;
# a third folder that only includes them is outside it.
rm -rf "$tmp/src"; mkdir -p "$tmp/src/System/Aa" "$tmp/src/System/Bb" "$tmp/src/App/Cc"
printf '#include "System/Bb/B.h"\n' >"$tmp/src/System/Aa/A.cpp"
printf '#include "System/Aa/A.h"\n' >"$tmp/src/System/Bb/B.cpp"
printf '#include "System/Aa/A.h"\n' >"$tmp/src/App/Cc/C.cpp"
out=$(bash "$check" "$tmp" 2>&1) && { echo "FAIL: a circle passes"; status=1; }
for want in 'circle: System/Aa System/Bb' 'src/System/Aa/A.cpp:1' 'src/System/Bb/B.cpp:1'; do
    grep -qF "$want" <<<"$out" || { echo "FAIL: the circle report lacks '$want'"; echo "$out"; status=1; }
done
grep -q 'App/Cc' <<<"$out" && { echo "FAIL: a folder outside the circle is named"; status=1; }

# The shipped tree holds no upward include and no circle beyond the known ones.
bash "$check" || { echo "FAIL: the source tree has upward includes"; status=1; }
[ $status = 0 ] && echo "layer check: all rows as expected"
exit $status
