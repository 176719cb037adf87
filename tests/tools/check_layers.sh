#!/bin/sh
# Fails when a file under src/ includes a header from a folder above its own. The folders,
# from the bottom layer up, as the layout lists them; a file belongs to the longest folder
# that holds it. The process entry (platform/linux/main.cpp) is the one file above all.
set -eu
src=${1:-$(dirname "$0")/../../src}
cd "$src"
find . -name '*.h' -o -name '*.cpp' -o -name '*.c' | sed 's|^\./||' | sort | xargs awk '
BEGIN {
    n = split("platform/linux platform/d3d9 platform/gl core storage formats net graphics text " \
              "effects audio video script script/scene script/components script/api script/console app", order, " ")
    for (i = 1; i <= n; ++i) rank[order[i]] = i
    failed = 0
}
function layer(path,    folder, best) {
    best = 0
    for (folder in rank)
        if (index(path, folder "/") == 1 && (best == 0 || length(folder) > length(order[best]))) best = rank[folder]
    return best
}
FNR == 1 {
    own = layer(FILENAME)
    if (own == 0) { print FILENAME ": not in a folder of the layout"; failed = 1 }
}
FILENAME != "platform/linux/main.cpp" && /^[ \t]*#[ \t]*include[ \t]*"/ {
    header = $0
    sub(/^[^"]*"/, "", header)
    sub(/".*/, "", header)
    target = layer(header)
    if (target > own) {
        printf "%s:%d: includes %s, a layer above %s\n", FILENAME, FNR, header, order[own]
        failed = 1
    }
}
END { exit failed }
'
