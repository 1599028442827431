#!/bin/sh
# Runs brimlane-sim on a scenario that cannot be read and checks that it exits
# with 2, names the line the file's first comment gives, and ran nothing.
sim="$1"
file="$2"
line=$(sed -n '1s/^# cannot read line \([0-9][0-9]*\).*/\1/p' "$file")
[ -n "$line" ] || { echo "$file does not say which line cannot be read"; exit 1; }
output=$("$sim" "$file" 2>&1 >/dev/null)
status=$?
stdout=$("$sim" "$file" 2>/dev/null)
[ "$status" -eq 2 ] || { echo "exit status $status, not 2"; exit 1; }
echo "$output" | grep -q "^$file:$line: cannot read: " || { echo "line $line not named: $output"; exit 1; }
[ -z "$stdout" ] || { echo "something ran: $stdout"; exit 1; }
echo "$output"
