#!/bin/sh
# Runs brimlane-sim on inputs that hold no scenario at all (a directory, an
# empty file, /dev/null, a file of comments only, empty standard input) and
# checks that each is refused with exit status 2 and a message naming it, and
# that nothing ran.
sim="$1"
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/folder"
: >"$dir/empty.scenario"
printf '# only a comment\n\n   # and another\n' >"$dir/comments.scenario"

refused() { # NAME SAYS [ARGUMENT]: runs the simulator on standard input or ARGUMENT
  name=$1
  says=$2
  shift 2
  stdout=$("$sim" "$@" 2>"$dir/stderr")
  status=$?
  [ "$status" -eq 2 ] || { echo "$name: exit status $status, not 2"; exit 1; }
  grep -q "$says" "$dir/stderr" || { echo "$name: no \"$says\": $(cat "$dir/stderr")"; exit 1; }
  [ -z "$stdout" ] || { echo "$name: something ran: $stdout"; exit 1; }
  cat "$dir/stderr"
}

refused directory "cannot read $dir/folder: it is a directory" "$dir/folder"
refused "empty file" "$dir/empty.scenario holds no command" "$dir/empty.scenario"
refused /dev/null "/dev/null holds no command" /dev/null
refused comments "$dir/comments.scenario holds no command" "$dir/comments.scenario"
refused "empty standard input" "stdin holds no command" - </dev/null
