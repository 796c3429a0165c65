#!/usr/bin/env bash
# Cross-builds durvane.exe and the window durvane-gui.exe for 64-bit Windows with Debian's
# MinGW-w64 compilers, checks that they need only DLLs every Windows has, and packs
# durvane-<version>-windows-x64.zip (both programs, the README and the licence) in
# build-windows/, and the same files into the installer durvane-<version>-windows-x64.msi, made
# with wixl from packaging/durvane.wxs. DURVANE_WIN32_WINDOW=OFF leaves the window out.
#
# With --test it also runs, under Wine in a throw-away prefix, the library's tests and the
# program itself: the sample converts to the same bytes as the Linux build's, a merge of two
# PRJ files gives the same bytes, a file name with non-ASCII letters converts into folders
# and files of the right names, wildcards typed as cmd.exe passes them are expanded, a picture
# is drawn, a model is exported, and Ctrl-C at any moment of a conversion that replaces an
# earlier one leaves the old or the new files whole. A scripted session under Xvfb converts and
# merges in the window and saves its picture as build-windows/window-windows.png (--screenshot:
# also as docs/window-windows.png, the README's). LINUX_DURVANE (default build/bin/durvane,
# built if missing) makes the reference outputs. Last, the installer is installed into a
# second fresh prefix, its files and registrations checked, and uninstalled, leaving none of
# them.
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
save_picture=0
case "${1:-}" in
  --test) run_tests=1 ;;
  --screenshot) run_tests=1 save_picture=1 ;;
esac

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest zip binutils-mingw-w64-x86-64
  wixl libtinygltf-dev nlohmann-json3-dev)
# The native window, durvane-gui.exe, is built and shipped unless DURVANE_WIN32_WINDOW=OFF.
window_option=${DURVANE_WIN32_WINDOW:-ON}
[ $run_tests = 1 ] && packages+=(wine wine64)
# The scripted session in the window, and its screenshot.
[ $run_tests = 1 ] && [ "$window_option" = ON ] && packages+=(xvfb xdotool imagemagick)
bash scripts/install-packages.sh windows "${packages[@]}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DDURVANE_WERROR=ON -DDURVANE_WIN32_WINDOW="$window_option" \
  "${launcher[@]}" >/dev/null
# A window built earlier with the option on is not shipped once it is off.
[ "$window_option" = ON ] || rm -f build-windows/bin/durvane-gui.exe
cmake --build build-windows
exe=build-windows/bin/durvane.exe

# Only the DLLs of Windows itself: the C++ runtime and the thread library are linked in.
# $1 is the program, $2 the DLLs it may need; prints the DLLs it needs.
check_dlls() {
  local needed
  needed=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $needed; do
    if ! [[ $dll =~ $2 ]]; then
      echo "windows: $(basename "$1") needs $dll, which Windows does not bring" >&2
      exit 1
    fi
  done
  echo "$needed"
}
dlls=$(check_dlls "$exe" '^(kernel32|msvcrt|ole32|shell32|windowscodecs)\.dll$')
if [ -f build-windows/bin/durvane-gui.exe ]; then
  check_dlls build-windows/bin/durvane-gui.exe \
    '^(kernel32|msvcrt|user32|gdi32|comctl32|comdlg32|shell32|ole32|windowscodecs)\.dll$' \
    >/dev/null
fi

version=$(sed -n 's/^project(durvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip_name="durvane-$version-windows-x64.zip"
stage=build-windows/zip/durvane-$version-windows-x64
rm -rf build-windows/zip "build-windows/$zip_name"
mkdir -p "$stage"
cp "$exe" "$stage/durvane.exe"
x86_64-w64-mingw32-strip "$stage/durvane.exe"
# Windows editors expect CR LF line ends in text files.
sed 's/$/\r/' README.md >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
with_window=no
if [ -f build-windows/bin/durvane-gui.exe ]; then
  cp build-windows/bin/durvane-gui.exe "$stage/durvane-gui.exe"
  x86_64-w64-mingw32-strip "$stage/durvane-gui.exe"
  with_window=yes
fi
(cd build-windows/zip && zip -qrX "../$zip_name" "durvane-$version-windows-x64")
echo "windows: wrote build-windows/$zip_name (needs only: $(echo $dlls | tr ' ' ','))"

# Makes the installer $3 (an absolute path) from the files in the folder $1; $2 (yes or no) says
# whether they include the window. wixl takes the sources' names relative to where it runs.
make_msi() {
  (cd "$1" && wixl -a x64 -D Version="$version" -D SourceDir=. -D WithWindow="$2" -o "$3" \
    "$OLDPWD/packaging/durvane.wxs")
}
msi_name="durvane-$version-windows-x64.msi"
make_msi "$stage" "$with_window" "$PWD/build-windows/$msi_name"
echo "windows: wrote build-windows/$msi_name (the window: $with_window)"

[ $run_tests = 1 ] || exit 0

work=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# Wine turns Unix names into Windows ones through the locale's character set.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
wine_run() { wine "$@" 2> >(grep -v '^wine: \|^[0-9a-f]*:err:\|^[0-9a-f]*:fixme:' >&2); }

echo "windows: the library's tests under Wine" >&2
# The prefix is made first: a test program started while it is still being set up may crash,
# and Wine then still ends with status 0.
wine_run wineboot -i
echo "windows: left out there, needing POSIX:" \
  "$(grep -v '^#' tests/posix_only_tests.txt | tr '\n' ' ')" >&2
# A test program that crashes may still leave Wine with status 0: each must end by saying that
# every test passed.
# Fails unless the log $1 of the test program $2 ends by saying that every test passed.
require_passed() {
  grep -q '^\[  PASSED  \] [0-9]* tests\?\.' "$1" || {
    echo "windows: $2 did not finish with every test passed" >&2
    exit 1
  }
}
wine_tests() {
  local log
  log="$work/$(basename "$1").log"
  wine_run "$@" | tee "$log"
  require_passed "$log" "$(basename "$1")"
}
wine_tests build-windows/bin/durvane_tests.exe --gtest_brief=1
wine_tests build-windows/bin/durvane_render_tests.exe --gtest_brief=1

linux=${LINUX_DURVANE:-build/bin/durvane}
if [ ! -x "$linux" ]; then
  cmake -S . -B build -G Ninja -DDURVANE_WERROR=ON "${launcher[@]}" >/dev/null
  cmake --build build --target durvane
fi

# Same bytes from both builds: every file of the conversion's output folder, and the merge.
mkdir -p "$work/linux/qel" "$work/windows/qel"
cp examples/sample.opt "$work/linux/ship.opt"
cp examples/sample.opt "$work/windows/ship.opt"
"$linux" convert --no-sync -o "$work/linux/qel" "$work/linux/ship.opt" >/dev/null
(cd "$work/windows" && wine_run "$OLDPWD/$exe" convert --no-sync -o qel ship.opt >/dev/null)
diff -r "$work/linux/qel" "$work/windows/qel"
for side in linux windows; do cp "$work/$side/qel/ship/ship.prj" "$work/$side/base.prj"; done
"$linux" merge --no-sync "$work/linux/base.prj" "$work/linux/qel/ship/ship.prj" >/dev/null
(cd "$work/windows" && wine_run "$OLDPWD/$exe" merge --no-sync base.prj qel/ship/ship.prj >/dev/null)
cmp "$work/linux/base.prj" "$work/windows/base.prj"
echo "windows: the sample's conversion and a merge give the Linux build's bytes" >&2

# A name with letters outside ASCII names its output folder and PRJ file.
name='Škoda-Ñandú-модель'
cp examples/sample.opt "$work/windows/$name.opt"
(cd "$work/windows" && wine_run "$OLDPWD/$exe" convert --no-sync -o qel "$name.opt" >/dev/null)
cmp "$work/windows/qel/$name/$name.prj" "$work/linux/qel/ship/ship.prj"
echo "windows: '$name.opt' converted into '$name/$name.prj'" >&2

# A picture: a PNG file of the size asked for.
(cd "$work/windows" && wine_run "$OLDPWD/$exe" render --size 64x48 -o ship.png ship.opt >/dev/null)
file "$work/windows/ship.png" | grep -q 'PNG image data, 64 x 48, 8-bit/color RGBA'
echo "windows: render wrote a 64 x 48 PNG file" >&2

# Wildcards as cmd.exe and PowerShell pass them, unexpanded: the tool expands them itself, in
# order regardless of letter case, leaving out hidden files (Wine hides names that begin with a
# dot) and folders; a pattern that matches nothing fails with its name and converts nothing.
wild="$work/wild"
mkdir -p "$wild/qel" "$wild/folder.opt"
for f in B.opt a.opt .hidden.opt; do cp examples/sample.opt "$wild/$f"; done
(cd "$wild" && wine_run "$OLDPWD/$exe" convert --no-sync -o qel '*.opt') >"$wild/out"
[ "$(grep -o 'qel.[ab].[ab]\.prj' "$wild/out" | tr '\\\n' '/ ')" = "qel/a/a.prj qel/b/b.prj " ]
[ "$(ls -A "$wild/qel")" = "$(printf 'a\nb')" ]
status=0
(cd "$wild" && WINEDEBUG=-all wine "$OLDPWD/$exe" convert -o qel a.opt '*.bmp' >"$wild/out" \
  2>"$wild/err") || status=$?
grep -q "^durvane: error: '\*\.bmp': no file matches this pattern" "$wild/err"
[ $status = 1 ]
[ ! -s "$wild/out" ]
echo "windows: 'convert *.opt' converted a.opt and B.opt; '*.bmp' failed with status 1" >&2
# A name whose '?' is part of it, the long-path prefix \\?\, is taken as written; a wildcard
# after that prefix is expanded.
long="\\\\?\\$(winepath -w "$wild")"
wine_run "$exe" info "$long\\a.opt" >"$wild/out"
[ "$(grep -c ': OPT file, ' "$wild/out")" = 1 ]
wine_run "$exe" info "$long\\?.OPT" >"$wild/out"
[ "$(grep -c ': OPT file, ' "$wild/out")" = 2 ]
echo "windows: a.opt after the prefix \\\\?\\ taken as written, ?.OPT there expanded to two files" >&2

# An export: the OBJ and MTL files (text) the Linux build's bytes, and a binary glTF file.
"$linux" export --format obj -o "$work/linux/ship.obj" "$work/linux/ship.opt" >/dev/null
(cd "$work/windows" && wine_run "$OLDPWD/$exe" export --format obj ship.opt >/dev/null)
(cd "$work/windows" && wine_run "$OLDPWD/$exe" export ship.opt >/dev/null)
cmp "$work/linux/ship.obj" "$work/windows/ship.obj"
cmp "$work/linux/ship.mtl" "$work/windows/ship.mtl"
file "$work/windows/ship.glb" | grep -q 'glTF binary model, version 2'
echo "windows: export wrote the Linux build's OBJ file and a binary glTF file" >&2

# The window, when it is built. Started in a folder holding the sample and the craft, it
# converts the file chosen with the mouse into that folder (the QEL directory starts there too)
# as the Linux build does. Two PRJ files then made in the folder appear in its lists without F5;
# switched to Merge PRJ with Alt+M, a double click on the button merges the second into the
# first once, as the Linux build's merge does. Last, back in Create New, the craft is drawn in
# the preview, turned a little with the mouse, and the window is saved as a picture. Alt+F4
# closes it with exit status 0. $1 is the program, $2 the folder, $3 the Linux build's output
# folder of the sample, $4 its merge, $5 the picture's file.
window_session() {
  local pid id x y status
  cd "$2"
  wine "$1" &
  pid=$!
  id=""
  for _ in $(seq 1 60); do
    id=$(xdotool search --name '^DURVANE v' 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.5
  done
  [ -n "$id" ] || { echo "windows: the window did not open" >&2; return 1; }
  # The client area's top left corner on the screen.
  read -r x y < <(xdotool getwindowgeometry --shell "$id" | sed -n 's/^[XY]=//p' | paste -sd' ')
  sleep 1
  # Wine's 96 DPI puts the design's twips 15 to a pixel: the first line of the top and the
  # bottom file lists, the button, the preview's middle.
  click() { xdotool mousemove $((x + $1)) $((y + $2)) click "${@:3}" 1; sleep 0.5; }
  local files_x=$((2880 / 15 + 20)) top_y=$((600 / 15 + 7)) bottom_y=$((2640 / 15 + 7))
  local button_x=$(((2400 + 1935 / 2) / 15)) button_y=$(((4800 + 735 / 2) / 15))
  local preview_x=$(((6975 + 5400 / 2) / 15)) preview_y=$((5820 / 2 / 15))

  click $files_x $bottom_y  # ship.opt
  click $button_x $button_y
  for _ in $(seq 1 40); do
    diff -r "$3" ship >/dev/null 2>&1 && break
    sleep 0.5
  done
  diff -r "$3" ship

  cp ship/ship.prj a-first.prj
  cp ship/ship.prj b-second.prj
  sleep 2
  xdotool key --window "$id" alt+m
  sleep 0.5
  click $files_x $top_y  # a-first.prj, listed only if the change was noticed
  click $files_x $bottom_y
  xdotool key Down  # b-second.prj alone
  sleep 0.5
  click $button_x $button_y --repeat 2 --delay 80
  sleep 3
  cmp "$4" a-first.prj
  cmp ship/ship.prj b-second.prj

  xdotool key --window "$id" alt+c
  sleep 0.5
  click $files_x $bottom_y
  xdotool key Down  # zz-craft.opt alone
  sleep 2
  xdotool mousemove $((x + preview_x)) $((y + preview_y)) mousedown 1
  xdotool mousemove_relative --sync 30 12
  xdotool mouseup 1
  sleep 3
  import -window "$id" "$5"

  xdotool key --window "$id" alt+F4
  for _ in $(seq 1 20); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "windows: the window did not close on Alt+F4" >&2
    return 1
  fi
  status=0
  wait "$pid" || status=$?
  [ $status = 0 ] || { echo "windows: the window ended with status $status" >&2; return 1; }
}
# Runs a command on a virtual screen of its own, its output without X's and Wine's chatter.
on_screen() {
  xvfb-run -a -s '-screen 0 1280x800x24' "$@" 2>&1 |
    { grep -v '^XGetInputFocus\|^X connection to\|^wine: ' || true; }
}
if [ "$with_window" = yes ]; then
  mkdir -p "$work/window"
  cp examples/sample.opt "$work/window/ship.opt"
  cp examples/craft.opt "$work/window/zz-craft.opt"
  # Wine's desktop process, started by the runs above without a display, would hold the window
  # off the screen: a new Wine server starts one on the virtual screen, and goes with it.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  # The window's own tests make windows, so they too need the virtual screen. A dialog nobody
  # answers would hold them forever: they have five minutes.
  on_screen timeout 300 wine build-windows/bin/durvane_win32_tests.exe --gtest_brief=1 |
    tee "$work/win32.log"
  require_passed "$work/win32.log" durvane_win32_tests.exe
  # Those tests skip themselves where no window can be made: here each must have run.
  if grep -q '^\[  SKIPPED \]' "$work/win32.log"; then
    echo "windows: durvane_win32_tests.exe skipped tests that need a screen" >&2
    exit 1
  fi
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  # xvfb-run is a POSIX shell script, which drops exported functions: the session goes as text.
  on_screen bash -c "set -euo pipefail; $(declare -f window_session); window_session \"\$@\"" _ \
    "$PWD/build-windows/bin/durvane-gui.exe" "$work/window" "$work/linux/qel/ship" \
    "$work/linux/base.prj" "$PWD/build-windows/window-windows.png" >&2
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  [ $save_picture = 0 ] || cp build-windows/window-windows.png docs/window-windows.png
  echo "windows: the window converted the sample, listed new files by itself, merged two" \
    "files once on a double click, as the Linux build does, and closed" >&2
fi

# Ctrl-C while a conversion replaces an earlier one: the folder holds the old files or the new
# ones, all of them, and nothing else, whenever the interrupt comes.
workload=build/bin/make-workload
if [ ! -x "$workload" ]; then
  cmake --build build --target make-workload
fi
"$workload" w2 "$work/w2" >/dev/null
mkdir -p "$work/ctrl-c/old" "$work/ctrl-c/new" "$work/ctrl-c/qel"
cp "$work/w2/w2_first.opt" "$work/ctrl-c/old/big.opt"
cp "$work/w2/w2_second.opt" "$work/ctrl-c/new/big.opt"
"$linux" convert --no-sync -o "$work/ctrl-c/old" "$work/ctrl-c/old/big.opt" >/dev/null
"$linux" convert --no-sync -o "$work/ctrl-c/new" "$work/ctrl-c/new/big.opt" >/dev/null
cd "$work/ctrl-c"
for delay in 0.2 0.4 0.6 0.8; do
  rm -rf qel/big
  cp -r old/big qel/big
  wine_run "$OLDPWD/$exe" convert -o qel new/big.opt >/dev/null &
  sleep "$delay"
  pkill -INT -f 'durvane\.exe' || true
  status=0
  wait $! || status=$?
  if diff -r qel/big old/big >/dev/null; then
    outcome=old
  elif diff -r qel/big new/big >/dev/null; then
    outcome=new
  else
    echo "windows: an interrupt after ${delay} s left a mixed or unfinished folder" >&2
    diff -rq qel/big old/big >&2 || true
    exit 1
  fi
  echo "windows: Ctrl-C after ${delay} s: exit status $status, the $outcome files whole" >&2
done
cd "$OLDPWD"

# The installer, in a prefix of its own: installed quietly, its files and registrations are
# there; uninstalled, none of them is. Without a built window, a placeholder stands for
# durvane-gui.exe in an installer made here only, never shipped, so that the window's part of
# packaging/durvane.wxs (shortcut, "Open with Durvane") is built and checked as well.
msi="$PWD/build-windows/$msi_name"
msi_files=$stage
if [ "$with_window" = no ]; then
  msi_files="$work/msi-stage"
  mkdir -p "$msi_files"
  cp "$stage"/* "$msi_files/"
  cp "$stage/durvane.exe" "$msi_files/durvane-gui.exe"
  msi="$work/durvane-window-placeholder.msi"
  make_msi "$msi_files" yes "$msi"
fi
wineserver -k >/dev/null 2>&1 || true
export WINEPREFIX="$work/msi-prefix"
installed="$WINEPREFIX/drive_c/Program Files/Durvane"
# The Start menu of all users on Windows; Wine's installer puts it in the user's own.
shortcuts() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Durvane.lnk'; }
registrations=(
  'HKCR\.opt\OpenWithProgids /v Durvane.OptModel'
  'HKCR\.prj\OpenWithProgids /v Durvane.PrjFile'
  'HKCR\Durvane.OptModel\shell\open /ve'
  'HKCR\Durvane.OptModel\shell\open\command /ve'
  'HKCR\Durvane.PrjFile\shell\open\command /ve'
)
# Made before the installer runs, which fails while the prefix is still being set up.
wine_run wineboot -i
wine_run msiexec /i "$(winepath -w "$msi")" /qn
for f in durvane.exe durvane-gui.exe LICENSE.txt README.txt; do cmp "$msi_files/$f" "$installed/$f"; done
grep -aq 'durvane-gui\.exe' "$(shortcuts)"
for r in "${registrations[@]}"; do
  # shellcheck disable=SC2086 # a key and the value asked for, split as reg takes them
  wine_run reg query $r | tr -d '\r' >>"$work/registered"
done
grep -q 'Open with Durvane' "$work/registered"
grep -q 'REG_SZ *"C:\\Program Files\\Durvane\\durvane-gui.exe" "%1"' "$work/registered"
[ "$(wine_run "C:\\Program Files\\Durvane\\durvane.exe" --version | tr -d '\r')" = "durvane $version" ]
echo "windows: the installer put the programs, the licence, the shortcut and 'Open with" \
  "Durvane' for .opt and .prj in place" >&2
wine_run msiexec /x "$(winepath -w "$msi")" /qn
[ ! -e "$installed" ]
[ -z "$(shortcuts)" ]
for r in "${registrations[@]}"; do
  # shellcheck disable=SC2086
  if wine_run reg query $r >/dev/null 2>&1; then
    echo "windows: 'reg query $r' still answers after the uninstall" >&2
    exit 1
  fi
done
echo "windows: uninstalling removed all of it" >&2
