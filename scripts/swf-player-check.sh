#!/usr/bin/env bash
# Makes a two-slide SWF slideshow with the built stillora-batch and plays it
# in a real player: Ruffle (the npm package @ruffle-rs/ruffle, self-hosted)
# in headless Chromium, with every host name unresolvable, the page served
# from 127.0.0.1. A screenshot taken while the second slide is held after
# its fade must match that slide's still: fully opaque, the whole picture,
# nothing of the first slide showing through.
#
# Ruffle is installed once with npm into a cache folder outside the
# repository (STILLORA_RUFFLE_DIR, default ~/.cache/stillora/ruffle). When npm
# cannot fetch it the check is skipped (exit 0).
# Usage: bash scripts/swf-player-check.sh [BUILD_DIR] [SCREENSHOT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shot_copy=${2:-}
tool=$build/bin/stillora-batch
browser=$(command -v chromium || command -v chromium-browser || true)
say() { echo "swf-player-check: $*"; }
die() { echo "swf-player-check: $*" >&2; exit 1; }
[ -x "$tool" ] || die "$tool is not built"
[ -n "$browser" ] || die "chromium is not installed (scripts/deps.sh)"
for needed in ffmpeg compare python3; do
  command -v "$needed" >/dev/null || die "$needed is not installed (scripts/deps.sh)"
done

ruffle_dir=${STILLORA_RUFFLE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/stillora/ruffle}
ruffle=$ruffle_dir/node_modules/@ruffle-rs/ruffle
if [ ! -f "$ruffle/ruffle.js" ]; then
  if ! command -v npm >/dev/null; then
    say "npm is not installed; skipped"
    exit 0
  fi
  mkdir -p "$ruffle_dir"
  if ! timeout 300 npm install --prefix "$ruffle_dir" --no-audit --no-fund --fetch-retries=1 \
    --loglevel=error @ruffle-rs/ruffle >"$ruffle_dir/npm.log" 2>&1 || [ ! -f "$ruffle/ruffle.js" ]; then
    say "npm cannot fetch @ruffle-rs/ruffle (see $ruffle_dir/npm.log); skipped"
    exit 0
  fi
fi
version=$(sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' "$ruffle/package.json" | head -n 1)

work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
site=$work/site
mkdir -p "$site" "$work/config"
ln -s "$ruffle" "$site/ruffle"

# Colour bars for a second, then a test pattern: two slides that differ
# everywhere, so a translucent second slide or a slide cut short shows.
ffmpeg -v error -f lavfi -i smptebars=s=320x240:r=25:d=1 -f lavfi -i testsrc=s=320x240:r=25:d=1 \
  -filter_complex concat=n=2:v=1 -pix_fmt yuv420p "$work/clip.mp4"
# At 30 frames per second: 30 black frames, slide 1 fades in over 9 frames
# and stays for 150, slide 2 fades in over the next 9 and stays from 6.6 s
# to 11.6 s after the start.
(cd "$work" && XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$tool" -q \
  --export swf --frames 5,30 --swf-fade 10 --swf-frames-per-slide 150 --swf-rate 30 \
  --out stills --out-file site/show.swf clip.mp4) >"$work/out.txt"
first=$(ls "$work"/stills/*_000.jpg)
second=$(ls "$work"/stills/*_001.jpg)
[ -f "$site/show.swf" ] || die "the batch tool wrote no movie"

# The page asks the server to note when the movie has loaded; a picture on
# the page is answered only `hold` seconds after that, so the page's load
# event, and with it Chromium's screenshot, comes in the middle of slide 2.
cat >"$work/serve.py" <<'PY'
import http.server, os, sys, threading, time
hold = float(sys.argv[1])
started = threading.Event()
at = [0.0]
GIF = bytes.fromhex('47494638396101000100800000000000ffffff21f904010000000'
                    '02c00000000010001000002024401003b')
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def do_GET(self):
        if self.path.startswith('/started'):
            if not started.is_set():
                at[0] = time.monotonic()
                started.set()
            self.send_response(204)
            self.end_headers()
        elif self.path.startswith('/hold'):
            if started.wait(60):
                time.sleep(max(0.0, at[0] + hold - time.monotonic()))
            self.send_response(200)
            self.send_header('Content-Type', 'image/gif')
            self.end_headers()
            self.wfile.write(GIF)
        else:
            super().do_GET()
os.chdir(sys.argv[2])
httpd = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
print(httpd.server_address[1], flush=True)
httpd.serve_forever()
PY
cat >"$site/play.html" <<'HTML'
<!doctype html>
<html><head><style>html,body{margin:0;padding:0;overflow:hidden;background:#808080}
ruffle-player{display:block}</style><script src="ruffle/ruffle.js"></script></head>
<body><div id="stage"></div><script>
window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = {autoplay: "on", unmuteOverlay: "hidden", splashScreen: false,
  letterbox: "off", contextMenu: "off", warnOnUnsupportedContent: false, logLevel: "warn"};
var player = window.RufflePlayer.newest().createPlayer();
player.style.width = "320px";
player.style.height = "240px";
document.getElementById("stage").appendChild(player);
player.addEventListener("loadedmetadata", function () { fetch("/started"); });
player.load({url: "show.swf"});
</script><img src="/hold" width="1" height="1" style="position:absolute;left:-10px"></body></html>
HTML

python3 "$work/serve.py" 9 "$site" >"$work/port" 2>"$work/server.log" &
server=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
[ -n "$port" ] || die "the page server did not start: $(cat "$work/server.log")"

shot=$work/shot.png
timeout 90 "$browser" --headless=new --no-sandbox --disable-gpu --no-first-run \
  --user-data-dir="$work/profile" --host-resolver-rules="MAP * ~NOTFOUND, EXCLUDE 127.0.0.1" \
  --window-size=320,240 --screenshot="$shot" "http://127.0.0.1:$port/play.html" \
  >"$work/browser.log" 2>&1 || { cat "$work/browser.log" >&2; die "chromium failed"; }
[ -f "$shot" ] || die "chromium took no screenshot"
[ -z "$shot_copy" ] || { cp "$shot" "$shot_copy"; say "screenshot in $shot_copy"; }

# Mean absolute difference, normalised to 0..1.
difference() {
  # compare exits 1 when the pictures differ at all.
  { compare -metric MAE "$1" "$2" null: 2>&1 || true; } | sed -n 's/.*(\([0-9.e+-]*\)).*/\1/p'
}
to_second=$(difference "$shot" "$second")
to_first=$(difference "$shot" "$first")
say "Ruffle $version: mean difference to slide 2 $to_second, to slide 1 $to_first"
python3 - "$to_second" "$to_first" <<'PY' || exit 1
import sys
second, first = float(sys.argv[1]), float(sys.argv[2])
if first <= second:
    sys.exit("swf-player-check: the screenshot is nearer slide 1 than slide 2 (player too slow?)")
if second > 0.01:
    sys.exit("swf-player-check: the held slide 2 differs from its still by %.4f (limit 0.01)" % second)
PY
say "Ruffle shows the held slide as its still"
