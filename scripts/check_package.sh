#!/usr/bin/env bash
# Builds the Debian package (when the build is newer than it) and checks what
# it holds: its files, its Depends and its menu entry. Only with
# QV_INSTALL_PACKAGE=1 does it also install the package into this machine with
# apt, start the installed program under Xvfb and check that its main window
# and the welcome window appear.
set -euo pipefail
cd "$(dirname "$0")/.."
# Windows on a real (virtual) X display, whatever the tests asked for.
unset QT_QPA_PLATFORM

build_dir=${QV_BUILD_DIR:-build}
out_dir=$build_dir/package
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Brings the program and the package settings up to date (quick when they are).
cmake --build "$build_dir" --target quorvane >/dev/null
deb=$(ls "$out_dir"/quorvane_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ] || [ -n "$(find "$build_dir/src/quorvane" "$build_dir/CPackConfig.cmake" \
    resources packaging -newer "$deb" -print -quit)" ]; then
  echo "Building the package"
  rm -f "$out_dir"/quorvane_*.deb
  cpack --config "$build_dir/CPackConfig.cmake" -B "$out_dir" >"$out_dir.log" 2>&1 ||
    { cat "$out_dir.log"; exit 1; }
  deb=$(ls "$out_dir"/quorvane_*.deb)
fi
version=$(dpkg-deb -f "$deb" Version)
title="Quorvane $version"

# The engine starts a helper program no library pulls in by itself; archives
# are unpacked by libarchive; the code view is QScintilla.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6webenginecore6-bin libqt6webenginewidgets6 libarchive13 libqscintilla2-qt6-15; do
  grep -qw -- "$need" <<<"$depends" || fail "the package does not depend on $need: $depends"
done

# The program with its files in a folder of its own, the link on the PATH
# pointing there, the menu entry and the icons.
contents=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')
for f in ./usr/lib/quorvane/quorvane ./usr/lib/quorvane/blank.html ./usr/lib/quorvane/b.cfg \
    ./usr/share/applications/quorvane.desktop ./usr/share/icons/hicolor/scalable/apps/quorvane.svg \
    ./usr/share/icons/hicolor/48x48/apps/quorvane.png; do
  grep -qxF -- "$f" <<<"$contents" || fail "the package does not hold ${f#.}"
done
grep -qxF -- "./usr/bin/quorvane -> ../lib/quorvane/quorvane" <<<"$contents" ||
  fail "the package's /usr/bin/quorvane is not a link to ../lib/quorvane/quorvane"

# The licence and the Debian copyright file: Quorvane's licence, and a word
# on every library of its own that it links (each with its licence).
for f in ./usr/share/doc/quorvane/copyright ./usr/share/doc/quorvane/LICENSE; do
  grep -qxF -- "$f" <<<"$contents" || fail "the package does not hold ${f#.}"
done
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/quorvane/copyright)
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  <<<"$copyright" || fail "the copyright file is not in the Debian format"
grep -qx 'License: GPL-3+' <<<"$copyright" || fail "the copyright file does not give GPL-3+"
for lib in libqt6core6 libqt6webenginecore6 libqscintilla2-qt6-15 libcurl4 libqt6keychain1 \
    libarchive13 libssl3; do
  grep -qw -- "$lib" <<<"$depends" || continue
  grep -qF -- "/usr/share/doc/$lib/copyright" <<<"$copyright" ||
    fail "the copyright file does not name $lib, which the program links"
done
# lintian, when installed, on what it says about the copyright file.
if command -v lintian >/dev/null; then
  complaints=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -Ei '^[EW]: .*copyright' || true)
  [ -z "$complaints" ] || fail "lintian on the copyright file: $complaints"
fi

# The menu entry as installed: valid, and starting the program on the PATH with its icon.
entry=$(mktemp --suffix=.desktop)
trap 'rm -f "$entry"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/quorvane.desktop >"$entry"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the menu entry is not valid"
fi
for line in Type=Application Exec=quorvane Icon=quorvane Name=Quorvane; do
  grep -qxF -- "$line" "$entry" || fail "the menu entry lacks $line"
done
echo "Package $(basename "$deb") holds the program, its files and its menu entry"

[ "${QV_INSTALL_PACKAGE:-}" = 1 ] || exit 0

# Install when this package is not the one in place, or its files were changed.
stamp=$out_dir/installed.sha256
sum=$(sha256sum "$deb" | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" != "$sum" ] ||
   ! dpkg-query -W -f='${Status}' quorvane 2>/dev/null | grep -q "ok installed" ||
   [ -n "$(dpkg --verify quorvane 2>&1)" ]; then
  echo "Installing $deb"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --reinstall \
    --no-install-recommends "$(realpath "$deb")" >"$out_dir/install.log" 2>&1 ||
    { cat "$out_dir/install.log"; exit 1; }
  echo "$sum" >"$stamp"
fi

program=$(command -v quorvane || true)
[ "$program" = /usr/bin/quorvane ] || fail "the package did not put quorvane on the PATH (found '$program')"
# The program looks for its files in the folder the link resolves to.
home=$(dirname "$(readlink -f "$program")")
for f in "$home/blank.html" "$home/b.cfg" /usr/share/applications/quorvane.desktop; do
  [ -f "$f" ] || fail "the package did not install $f"
done

# Under Xvfb: the main window, then the welcome window over it; Esc closes the
# welcome window; then the program is ended.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  title=$1
  here=$(mktemp -d)
  trap "rm -rf \"$here\"" EXIT
  cd "$here"
  /usr/bin/quorvane >program.log 2>&1 &
  pid=$!
  fail() { echo "FAIL: $*" >&2; cat program.log >&2; kill "$pid" 2>/dev/null; exit 1; }
  main=$(timeout 60 xdotool search --sync --onlyvisible --name "^${title//./\\.}\$" | head -n 1)
  [ -n "$main" ] || fail "no window titled \"$title\""
  welcome=$(timeout 30 xdotool search --sync --onlyvisible --name "^Welcome\$" | head -n 1)
  [ -n "$welcome" ] || fail "no welcome window"
  xdotool windowfocus --sync "$welcome" key Escape
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^Welcome\$" >/dev/null || break
    sleep 0.1
  done
  xdotool search --onlyvisible --name "^Welcome\$" >/dev/null && fail "Esc left the welcome window open"
  kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
  kill "$pid"
  wait "$pid" 2>/dev/null
  echo "Installed program showed \"$title\" and the welcome window"
' check "$title"
