#!/usr/bin/env bash
# Makes the README's screenshots from the real program under Xvfb: the
# welcome window as it opens, and the main window showing a real page brought
# in through the welcome window's folder picker. Writes docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
# Windows on a real (virtual) X display, whatever the tests asked for.
unset QT_QPA_PLATFORM

corpus=${QV_CORPUS_DIR:-../shared/corpus}
page_folder=$corpus/01-bs5-landing-page
out=docs/screenshots
build_dir=${QV_BUILD_DIR:-build}

tools=(xvfb xauth xdotool imagemagick openbox)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ -f "$build_dir/CMakeCache.txt" ]; then
  cmake --build "$build_dir" --target quorvane quorvane_beside_exe
else
  ./scripts/setup.sh
fi
program=$(realpath "$build_dir/src/quorvane")

# The program never writes a page unless told to, but it gets a copy anyway.
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$page_folder" "$work/my-product"
mkdir -p "$out"
out=$(realpath "$out")

# One run per scale: at 1 the README's pictures, at 2 the main window as a
# 200 % screen shows it (main-window@2x.png), to see that it stays sharp.
shoot() {
  local scale=$1 suffix=$2 screen=$3
  QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
  set -euo pipefail
  program=$1 pages=$2 out=$3 scale=$4 suffix=$5
  openbox >/dev/null 2>&1 &
  # The picker starts in the working folder: the copied pages.
  cd "$pages"
  "$program" >/dev/null 2>&1 &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  main=$(timeout 60 xdotool search --sync --onlyvisible --name "^Quorvane 2\.5\.5\$" | head -n 1)
  welcome=$(timeout 30 xdotool search --sync --onlyvisible --name "^Welcome\$" | head -n 1)
  sleep 2
  [ "$scale" = 1 ] && import -silent -frame -window "$welcome" "$out/welcome.png"

  # "Don'"'"'t Want to Use Drag and Drop? Click Here", then "Ok": positions in
  # pixels (96 dpi) of the link and the button inside the window, times the scale.
  xdotool mousemove --window "$welcome" $((645 * scale)) $((17 * scale)) click 1
  sleep 1
  xdotool mousemove --window "$welcome" $((338 * scale)) $((525 * scale)) click 1
  sleep 6
  if xdotool search --onlyvisible --name "^Welcome\$" >/dev/null; then
    echo "The picker did not hand the page over: the welcome window is still open" >&2
    exit 1
  fi
  import -silent -frame -window "$main" "$out/main-window$suffix.png"
' screenshots "$program" "$work/my-product" "$out" "$scale" "$suffix"
}
shoot 1 "" 1280x900
shoot 2 "@2x" 2600x1900
echo "Wrote $out/welcome.png, $out/main-window.png and $out/main-window@2x.png"
