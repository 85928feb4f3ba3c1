#!/bin/sh
# Checks that includes point down only: support <- packet <- platform <- cli
# and listen. A file in src/LAYER/ may include its own layer and those below.
#   check_layers.sh SRC_DIR
set -u
src=$1
allowed() {
    case $1 in
    support) echo "support" ;;
    packet) echo "support packet" ;;
    platform) echo "support packet platform" ;;
    cli) echo "support packet platform cli" ;;
    listen) echo "support packet platform listen" ;;
    *) echo "" ;;
    esac
}
status=0
for file in $(find "$src" -name '*.h' -o -name '*.cc'); do
    layer=$(basename "$(dirname "$file")")
    ok=$(allowed "$layer")
    [ -n "$ok" ] || continue
    for included in $(sed -n 's/^#include "\([a-z_]*\)\/.*"$/\1/p' "$file"); do
        case " $ok " in
        *" $included "*) ;;
        *) echo "${file#$src/}: includes $included/, a layer above $layer"; status=1 ;;
        esac
    done
done
[ $status -eq 0 ] && echo "includes point down only"
exit $status
