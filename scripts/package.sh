#!/usr/bin/env bash
# Makes the Windows packages in build/package: Kestrel-<version>-setup.exe (the installer) and
# Kestrel-<version>.zip (the same files, to run from any folder). Installs what it needs and
# builds first, as the other scripts do.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_packages
k_build_native
k_build_win
k_content
say "packaging Kestrel"
k_package
setup=$(stat -c %s "$K_SETUP") zip=$(stat -c %s "$K_ZIP") data=$(du -sb "$KBUILD/package/Kestrel/Data" | cut -f1)
mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1048576 }'; }
echo "$K_SETUP: $(mb "$setup")"
echo "$K_ZIP: $(mb "$zip")"
echo "Data it carries: $(mb "$data") in $(find "$KBUILD/package/Kestrel/Data" -type f | wc -l) files;" \
     "the installer is $(awk -v s="$setup" -v d="$data" 'BEGIN { printf "%.0f", s * 100 / d }') % of it"
