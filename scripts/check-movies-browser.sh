#!/usr/bin/env bash
# Makes an animated GIF and a WebM (and an MP4) with the built stillora-batch
# and shows them in headless Chromium, offline: each must load at its size,
# and the frame shown must match the still of the same source frame
# (ImageMagick's compare), and be farther from the still of another frame.
# Usage: bash scripts/check-movies-browser.sh [BUILD_DIR] [SCREENSHOT_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shots=${2:-}
tool=$build/bin/stillora-batch
browser=$(command -v chromium || command -v chromium-browser || true)
[ -x "$tool" ] || { echo "check-movies: $tool is not built" >&2; exit 1; }
[ -n "$browser" ] || { echo "check-movies: chromium is not installed (scripts/deps.sh)" >&2; exit 1; }
command -v compare >/dev/null || { echo "check-movies: ImageMagick's compare is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config"

# The hue turns by 40 degrees a frame, so that neighbouring frames differ plainly.
ffmpeg -v error -f lavfi -i "testsrc=size=320x240:rate=25,hue=h=t*1000" -frames:v 12 \
  -pix_fmt yuv420p "$work/clip.mp4"
batch() { (cd "$work" && XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$tool" -q "$@"); }
# The GIF starts at frame 5 and stays there (the longest delay); the videos are
# seeked to frame 5 in the page.
batch --export gif --gif-delay 99999 --frames 5-11 --out-file movie.gif clip.mp4 >/dev/null
batch --export webm --frames 0-11 --out-file movie.webm clip.mp4 >/dev/null
batch --export mp4 --frames 0-11 --out-file movie.mp4 clip.mp4 >/dev/null
batch --frames 5 --format bmp --out still5 clip.mp4 >/dev/null
batch --frames 0 --format bmp --out still0 clip.mp4 >/dev/null
still5=$(ls "$work"/still5/*.bmp)
still0=$(ls "$work"/still0/*.bmp)

page() { # element-html
  cat <<HTML
<!DOCTYPE html>
<html><head><style>html,body{margin:0;padding:0;background:#000;overflow:hidden}
img,video{display:block}</style></head><body>
$1
<script>
function report(text) {
  var pre = document.createElement('pre');
  pre.id = 'probe';
  pre.style.display = 'none';
  pre.textContent = text;
  document.body.appendChild(pre);
}
var v = document.querySelector('video');
if (v) {
  v.addEventListener('loadeddata', function () { v.currentTime = 5.5 / 25; });
  v.addEventListener('seeked', function () {
    report('SHOWN ' + v.videoWidth + 'x' + v.videoHeight + ' at ' + v.currentTime);
  });
  v.addEventListener('error', function () { report('ERROR ' + (v.error && v.error.code)); });
} else {
  window.addEventListener('load', function () {
    var im = document.images[0];
    report(im.complete && im.naturalWidth > 0 ? 'SHOWN ' + im.naturalWidth + 'x' + im.naturalHeight
                                              : 'ERROR not loaded');
  });
}
</script></body></html>
HTML
}

run_browser() {
  timeout 60 "$browser" --headless=new --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile" --host-resolver-rules="MAP * ~NOTFOUND" \
    --autoplay-policy=no-user-gesture-required --hide-scrollbars \
    --force-device-scale-factor=1 --virtual-time-budget=10000 "$@" 2>>"$work/browser.log"
}

rmse() { # picture picture -> normalised RMSE
  { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p'
}

failed=0
# Media load in real time while the page's clock runs on virtual time, so on a
# busy machine a page may be dumped or shot before the seek is done: each
# check is tried up to three times.
attempt() { # name
  local name=$1 dom
  dom=$(run_browser --dump-dom "file://$work/$name.html") || {
    echo "check-movies: chromium failed on the $name" >&2
    cat "$work/browser.log" >&2
    exit 1
  }
  report=$(printf '%s\n' "$dom" | sed -n 's/.*<pre id="probe"[^>]*>\([^<]*\)<\/pre>.*/\1/p')
  case "$report" in
  "SHOWN 320x240"*) ;;
  *)
    problem="does not show at 320x240: ${report:-the page did not finish}"
    return 1
    ;;
  esac
  run_browser --window-size=320,240 --screenshot="$work/$name.png" "file://$work/$name.html" >/dev/null
  near=$(rmse "$work/$name.png" "$still5")
  far=$(rmse "$work/$name.png" "$still0")
  if ! awk -v n="$near" -v f="$far" 'BEGIN { exit !(n != "" && n < 0.06 && f > 2 * n) }'; then
    problem="shows another picture: RMSE $near against frame 5's still, $far against frame 0's"
    return 1
  fi
}

check() { # name element
  local name=$1 element=$2 try
  page "$element" >"$work/$name.html"
  for try in 1 2 3; do
    problem=
    if attempt "$name"; then
      echo "check-movies: the $name shows frame 5 (RMSE $near; $far against frame 0)"
      [ -z "$shots" ] || { mkdir -p "$shots"; cp "$work/$name.png" "$shots/"; }
      return
    fi
  done
  echo "check-movies: the $name $problem" >&2
  failed=1
}

check gif '<img src="movie.gif" width="320" height="240">'
check webm '<video src="movie.webm" muted preload="auto" width="320" height="240"></video>'
# H.264 plays only where this Chromium build carries the codec; say so, do not fail.
if run_browser --dump-dom "data:text/html,<script>document.write(document.createElement('video').canPlayType('video/mp4; codecs=\"avc1.64001e\"'))</script>" |
  grep -q 'probably\|maybe'; then
  check mp4 '<video src="movie.mp4" muted preload="auto" width="320" height="240"></video>'
else
  echo "check-movies: this Chromium has no H.264; the MP4 is left to ffprobe"
fi
[ -z "$shots" ] || cp "$still5" "$shots/still5.bmp"
[ "$failed" = 0 ] || exit 1
echo "check-movies: Chromium shows the GIF and the WebM with the still's picture"
