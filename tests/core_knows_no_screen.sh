#!/bin/sh
# Fails when a file of the core (fs/, scan/, results/, log/) includes a window header of the
# program (app/) or a Qt header: the core must build and run without a display.
set -eu
cd "${1:-.}"
found=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](app/|Q[A-Za-z]*[>"/]|Qt)' fs scan results log || true)
if [ -n "$found" ]; then
    echo "These core files include window or Qt headers:"
    echo "$found"
    exit 1
fi
echo "The core includes no window or Qt header."
