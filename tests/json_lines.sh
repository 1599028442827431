#!/bin/sh
# Runs brimlane-sim with --json --wire on a scenario (the demonstration when
# none is given) and checks every line it prints. An expectation that fails is
# the scenario's own test's business; the output must be JSON all the same.
sim="$1"
check="$2"
shift 2
output=$(mktemp) || exit 1
trap 'rm -f "$output"' EXIT
"$sim" --json --wire "$@" >"$output"
status=$?
[ "$status" -le 1 ] || { echo "brimlane-sim exited with $status"; exit 1; }
"$check" <"$output"
