#!/bin/sh
# The host's logic writes nothing anywhere by itself: its one diagnostic line
# goes through the StandardOutput service, and clipboard or selection text
# cannot leak through a stray print or file.
cd "$(dirname "$0")/.." || exit 1
if grep -rnE 'std::(cout|cerr|clog|printf|puts|fopen|ofstream|fstream)|[^_a-zA-Z](printf|fprintf|puts|fopen|perror|syslog)\(' app/; then
  echo "app/ writes output directly (above)"
  exit 1
fi
echo "app/ writes no output of its own"
