#!/bin/sh
# The shell completions of voidbroom-scan: bash's loads and completes options, modes and
# folders; zsh's and fish's are checked for their syntax where those shells are installed.
set -eu
dir=$(cd "${1:?the folder of the completion files}" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/Photos" "$tree/Pictures"
: >"$tree/Plan.txt"
complete_words() {
    bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _voidbroom_scan
             printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' sh "$dir/voidbroom-scan.bash" "$@"
}
loaded=$(bash -c '. "$1" && complete -p voidbroom-scan' sh "$dir/voidbroom-scan.bash") ||
    fail "bash: the completion does not load"
[ "$loaded" = "complete -F _voidbroom_scan voidbroom-scan" ] || fail "bash: complete -p says '$loaded'"
got=$(complete_words voidbroom-scan --mo)
[ "$got" = "--mode " ] || fail "bash: --mo completes to '$got'"
got=$(complete_words voidbroom-scan --mode "")
[ "$got" = "0 1 2 " ] || fail "bash: --mode completes to '$got'"
got=$(complete_words voidbroom-scan --junk-c)
[ "$got" = "--junk-common " ] || fail "bash: --junk-c completes to '$got'"
got=$(cd "$tree" && complete_words voidbroom-scan --delete P)
[ "$got" = "Photos Pictures " ] || fail "bash: a FOLDER completes to '$got', not only folders"

if command -v zsh >/dev/null 2>&1; then
    zsh -n "$dir/_voidbroom-scan" || fail "zsh: the completion does not parse"
else
    echo "zsh is not installed: its completion's syntax is not checked"
fi
if command -v fish >/dev/null 2>&1; then
    fish -n "$dir/voidbroom-scan.fish" || fail "fish: the completion does not parse"
else
    echo "fish is not installed: its completion's syntax is not checked"
fi
[ "$failures" -eq 0 ] && echo "The completions load and complete."
[ "$failures" -eq 0 ]
