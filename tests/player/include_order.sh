#!/bin/sh
# Checks that no file of the player library includes from a folder above its
# own. The order, bottom to top: include (the public headers), messages,
# transport, host; then modules, codecs and net, which use the public headers
# only; then decoder and feedback, neither of which includes the other; then
# api. Names without a folder resolve beside the including file, then in
# include/. Prints each include that runs back up, and fails when there is one.
player=${1:?the player folder}
cd "$player" || exit 2
files=$(find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sed 's|^\./||' | sort)
# Each file's name, then its includes as "file:line:#include ...".
{
    echo "$files"
    echo "--"
    echo "$files" | xargs grep -H '^[[:space:]]*#[[:space:]]*include[[:space:]]*"'
} | awk '
BEGIN {
    split("include messages transport host modules codecs net decoder feedback api", names, " ")
    split("0 1 2 3 4 4 4 5 5 6", levels, " ")
    for (i in names)
        level[names[i]] = levels[i]
}
$0 == "--" { listing = 1; next }
!listing { exists[$0] = 1; next }
{
    file = $0; sub(/:.*/, "", file)
    name = $0; sub(/^[^"]*"/, "", name); sub(/".*/, "", name)
    folder = file; sub(/\/.*/, "", folder)
    dir = file; sub(/\/[^\/]*$/, "", dir)
    if (!(folder in level)) { print file ": in no folder of the order"; bad = 1; next }
    if ((dir "/" name) in exists) to = folder
    else if (("include/" name) in exists) to = "include"
    else if (name in exists) { to = name; sub(/\/.*/, "", to) }
    else { print file ": includes \"" name "\", which is not in the library"; bad = 1; next }
    if (to == folder || to == "include")
        next
    if (level[folder] == 4 || level[to] >= level[folder]) {
        print file ": includes \"" name "\" from " to "/, which is not below " folder "/"
        bad = 1
    }
}
END { exit bad }'
