#!/bin/sh
# Runs a command under its own virtual X server. The server picks a free display itself
# (-displayfd), so parallel runs never share or race for one.
set -u
number=$(mktemp)
trap 'kill "$server" 2>/dev/null; rm -f "$number"' EXIT
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$number" 2>/dev/null &
server=$!
for _ in $(seq 200); do
  [ -s "$number" ] && break
  kill -0 "$server" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$number" ] || { echo "Xvfb gave no display" >&2; exit 1; }
DISPLAY=":$(tr -d '\n' < "$number")" "$@"
