#!/bin/sh
# Frame times of bench_render_frame on the software device and on OpenGL (Mesa's
# llvmpipe), both under one private X server, and of an optional peer program drawing
# the same sprites on the same server. The peer is the rest of the command line; when
# its program is not installed it is skipped.
#   bench/render_frame/compare.sh [BUILD_DIR] [PEER COMMAND...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
bench="$build/bench/bench_render_frame"
[ -x "$bench" ] || { echo "no $bench: build first" >&2; exit 1; }
if [ $# -gt 0 ] && ! command -v "$1" >/dev/null 2>&1; then
  echo "peer $1 is not installed: skipped" >&2
  set --
fi
export SDL_VIDEODRIVER=x11 LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
exec "$root/tests/tools/run_under_x.sh" sh -c '
  bench=$1; shift
  echo "== software device"; "$bench" software
  echo "== OpenGL"; "$bench" opengl
  if [ $# -gt 0 ]; then echo "== peer: $*"; "$@"; fi
' compare "$bench" "$@"
