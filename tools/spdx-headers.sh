#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence identifier on the first line of every source file that
# lacks it (after a "#!" line); run it again after adding files.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tag='SPDX-License-Identifier: GPL-3.0-or-later'

git ls-files -- '*.c' '*.h' '*.cpp' '*.cmake' '*.sh' 'CMakeLists.txt' '**/CMakeLists.txt' |
while IFS= read -r file; do
    grep -q "SPDX-License-Identifier:" "$file" && continue
    case "$file" in
    *.c | *.h | *.cpp) line="// $tag" ;;
    *) line="# $tag" ;;
    esac
    if head -n1 "$file" | grep -q '^#!'; then
        sed -i "1a $line" "$file"
    else
        sed -i "1i $line" "$file"
    fi
done
