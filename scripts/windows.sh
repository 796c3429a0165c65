#!/usr/bin/env bash
# Cross-builds durvane.exe for 64-bit Windows with Debian's MinGW-w64 compilers, checks that it
# needs only DLLs every Windows has, and packs durvane-<version>-windows-x64.zip (the program,
# the README and the licence) in build-windows/.
#
# With --test it also runs, under Wine in a throw-away prefix, the library's tests and the
# program itself: the sample converts to the same bytes as the Linux build's, a merge of two
# PRJ files gives the same bytes, a file name with non-ASCII letters converts into folders
# and files of the right names, a picture is drawn, a model is exported, and Ctrl-C at any
# moment of a conversion that replaces an earlier one leaves the old or the new files whole. LINUX_DURVANE (default build/bin/durvane, built if missing)
# makes the reference outputs.
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
[ "${1:-}" = "--test" ] && run_tests=1

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest zip binutils-mingw-w64-x86-64
  libtinygltf-dev nlohmann-json3-dev)
[ $run_tests = 1 ] && packages+=(wine wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "windows: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DDURVANE_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-windows
exe=build-windows/bin/durvane.exe

# Only the DLLs of Windows itself: the C++ runtime and the thread library are linked in.
allowed='^(kernel32|msvcrt|ole32|shell32|windowscodecs)\.dll$'
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
for dll in $dlls; do
  if ! [[ $dll =~ $allowed ]]; then
    echo "windows: durvane.exe needs $dll, which Windows does not bring" >&2
    exit 1
  fi
done

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
(cd build-windows/zip && zip -qrX "../$zip_name" "durvane-$version-windows-x64")
echo "windows: wrote build-windows/$zip_name (needs only: $(echo $dlls | tr ' ' ','))"

[ $run_tests = 1 ] || exit 0

work=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# Wine turns Unix names into Windows ones through the locale's character set.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
wine_run() { wine "$@" 2> >(grep -v '^wine: \|^[0-9a-f]*:err:\|^[0-9a-f]*:fixme:' >&2); }

echo "windows: the library's tests under Wine" >&2
echo "windows: left out there, needing POSIX:" \
  "$(grep -v '^#' tests/posix_only_tests.txt | tr '\n' ' ')" >&2
wine_run build-windows/bin/durvane_tests.exe --gtest_brief=1
wine_run build-windows/bin/durvane_render_tests.exe --gtest_brief=1

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

# An export: the OBJ and MTL files (text) the Linux build's bytes, and a binary glTF file.
"$linux" export --format obj -o "$work/linux/ship.obj" "$work/linux/ship.opt" >/dev/null
(cd "$work/windows" && wine_run "$OLDPWD/$exe" export --format obj ship.opt >/dev/null)
(cd "$work/windows" && wine_run "$OLDPWD/$exe" export ship.opt >/dev/null)
cmp "$work/linux/ship.obj" "$work/windows/ship.obj"
cmp "$work/linux/ship.mtl" "$work/windows/ship.mtl"
file "$work/windows/ship.glb" | grep -q 'glTF binary model, version 2'
echo "windows: export wrote the Linux build's OBJ file and a binary glTF file" >&2

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
