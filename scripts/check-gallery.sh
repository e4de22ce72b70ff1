#!/usr/bin/env bash
# Makes a web gallery with the built stillora-batch and opens it in headless
# Chromium, offline. Fails when any picture of the index page or of an image
# page does not load at its size, when a link points to no page, or when the
# title does not show as typed.
# Usage: bash scripts/check-gallery.sh [BUILD_DIR] [SCREENSHOT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shot=${2:-}
tool=$build/bin/stillora-batch
browser=$(command -v chromium || command -v chromium-browser || true)
[ -x "$tool" ] || { echo "check-gallery: $tool is not built" >&2; exit 1; }
[ -n "$browser" ] || { echo "check-gallery: chromium is not installed (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config"

ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25 -frames:v 7 -pix_fmt yuv420p \
  "$work/clip.mp4"
# Markup characters and characters in and outside windows-1252.
title=$'Tom & Jerry <2> caf\u00e9 \u2615'
(cd "$work" && XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$tool" -q \
  --export gallery --frames 0-6 --gallery-title "$title" --out gallery clip.mp4) >"$work/out.txt"
index=$(head -n 1 "$work/out.txt")
gallery=$work/gallery
[ -f "$index" ] || { echo "check-gallery: no index page ($index)" >&2; exit 1; }

# The probe runs once everything has loaded and writes one line per picture
# and link into the page, which --dump-dom then shows.
probe() {
  cat <<'JS'
<script>
window.addEventListener('load', function () {
  var lines = [];
  var images = document.images;
  lines.push('IMAGES ' + images.length);
  for (var i = 0; i < images.length; i++) {
    var im = images[i];
    var want = im.getAttribute('width');
    var ok = im.complete && im.naturalWidth > 0 && (!want || im.naturalWidth == want);
    lines.push((ok ? 'IMAGE-OK ' : 'IMAGE-BROKEN ') + encodeURIComponent(im.getAttribute('src')) +
               ' ' + im.naturalWidth + 'x' + im.naturalHeight);
  }
  var links = document.links;
  for (var j = 0; j < links.length; j++) {
    if (links[j].protocol === 'file:') lines.push('LINK ' + encodeURIComponent(decodeURIComponent(links[j].pathname)));
  }
  lines.push('TITLE ' + encodeURIComponent(document.title));
  var pre = document.createElement('pre');
  pre.id = 'probe';
  pre.textContent = lines.join('\n');
  document.body.appendChild(pre);
});
</script>
JS
}

run_browser() {
  timeout 60 "$browser" --headless=new --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile" --host-resolver-rules="MAP * ~NOTFOUND" \
    --virtual-time-budget=5000 "$@" 2>>"$work/browser.log"
}

decode() { printf '%b' "${1//%/\\x}"; }

failed=0
check_page() { # page-file expected-image-count
  local page=$1 expected=$2 name=$3
  { cat "$page"; probe; } >"$gallery/probe.html"
  local dom
  dom=$(run_browser --dump-dom "file://$gallery/probe.html") || {
    echo "check-gallery: chromium failed on $name" >&2
    cat "$work/browser.log" >&2
    exit 1
  }
  local report
  report=$(printf '%s\n' "$dom" | sed -n '/<pre id="probe">/,/<\/pre>/p' |
    sed -e 's/<pre id="probe">//' -e 's/<\/pre>.*//')
  [ -n "$report" ] || { echo "check-gallery: $name: the page did not finish loading" >&2; failed=1; return; }
  local count
  count=$(printf '%s\n' "$report" | sed -n 's/^IMAGES //p')
  if [ "$count" != "$expected" ]; then
    echo "check-gallery: $name shows $count pictures, not $expected" >&2
    failed=1
  fi
  if printf '%s\n' "$report" | grep -q '^IMAGE-BROKEN'; then
    echo "check-gallery: $name: pictures that did not load:" >&2
    printf '%s\n' "$report" | grep '^IMAGE-BROKEN' >&2
    failed=1
  fi
  local link
  while read -r link; do
    local path
    path=$(decode "${link#LINK }")
    [ "$(basename "$path")" = probe.html ] && continue
    [ -f "$path" ] || { echo "check-gallery: $name links to a missing page: $path" >&2; failed=1; }
  done < <(printf '%s\n' "$report" | grep '^LINK ' || true)
  local shown
  shown=$(decode "$(printf '%s\n' "$report" | sed -n 's/^TITLE //p')")
  if [ "$shown" != "$title" ]; then
    echo "check-gallery: $name shows the title \"$shown\", not \"$title\"" >&2
    failed=1
  fi
  echo "check-gallery: $name: $count picture(s) checked"
}

check_page "$index" 7 "the index page"
check_page "$gallery/clip_Range_00000_00006_003.html" 1 "an image page"
rm -f "$gallery/probe.html"

if [ -n "$shot" ]; then
  cp "$index" "$gallery/view.html"
  run_browser --window-size=900,640 --screenshot="$(realpath -m "$shot")" \
    "file://$gallery/view.html" >/dev/null
  echo "check-gallery: screenshot in $shot"
fi
[ "$failed" = 0 ] || exit 1
echo "check-gallery: the gallery opens in Chromium with every picture"
