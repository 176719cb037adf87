#!/bin/sh
# Runs a command under its own virtual X server. The server picks a free display itself
# (-displayfd), so parallel runs never share one; a server that dies while starting (two
# starting at once can race for a display) is started again. -noreset: by default the
# server resets when its last client disconnects, and a test that closes its display
# connection and opens another (a window closed and made again) would connect during
# that reset and fail.
set -u
number=$(mktemp)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -f "$number"' EXIT
start_server() {
  : > "$number"
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$number" 2>/dev/null &
  server=$!
  for _ in $(seq 400); do
    [ -s "$number" ] && return 0
    kill -0 "$server" 2>/dev/null || return 1
    sleep 0.05
  done
  kill "$server" 2>/dev/null
  return 1
}
for attempt in 1 2 3; do
  start_server && break
  [ "$attempt" = 3 ] && { echo "Xvfb gave no display" >&2; exit 1; }
done
DISPLAY=":$(tr -d '\n' < "$number")" "$@"
status=$?
kill -0 "$server" 2>/dev/null || echo "run_under_x: the X server died during the run" >&2
exit $status
