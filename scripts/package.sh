#!/usr/bin/env bash
# Builds the Debian packages durvane_<version>_amd64.deb (the command-line tool) and
# durvane-gui_<version>_amd64.deb (the window) from a Release build with GCC in
# build-release/, into build-release/packages/, and checks them with lintian: any error, or
# any warning not listed with its reason in packaging/lintian-accepted.txt, fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build-release
out=$build/packages
version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
# The manual pages carry the release's date, not the day of the build.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/changelog -S Timestamp)
export SOURCE_DATE_EPOCH

# Debian's compiler and linker flags, with every hardening feature; its -O2 is also what
# bench/run.sh measures.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
options=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_INSTALL_PREFIX=/usr
  -DDURVANE_BUILD_GUI=ON -DDURVANE_BUILD_TESTS=OFF -DDURVANE_BUILD_BENCH=OFF
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
)
if grep -q 'option(DURVANE_WERROR' CMakeLists.txt; then options+=(-DDURVANE_WERROR=ON); fi
# ccache helps a developer who packages again; CI builds once.
if [ "${CI:-}" != true ] && command -v ccache > /dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$PWD
fi
cmake -S . -B "$build" "${options[@]}" > /dev/null
cmake --build "$build" -j "$(nproc)"

built=$("$build/bin/durvane" --version)
if [ "$built" != "durvane $version" ]; then
  echo "package: the program says '$built', packaging/changelog's newest entry is $version:" \
    "add an entry for the new version" >&2
  exit 1
fi

rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$PWD/packages" > /dev/null)
debs=("$out/durvane_${version}_amd64.deb" "$out/durvane-gui_${version}_amd64.deb")
for deb in "${debs[@]}"; do
  if [ ! -f "$deb" ]; then
    echo "package: $deb was not made (is Qt 6 installed? scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

# lintian prints "X: package: tag details"; E is an error, W a warning.
set +e
report=$(lintian --tag-display-limit 0 "${debs[@]}" 2>&1)
status=$?
set -e
if [ $status -gt 1 ]; then
  printf '%s\n' "$report" >&2
  echo "package: lintian did not run (exit status $status)" >&2
  exit 1
fi
accepted=$(sed -e 's/#.*//' packaging/lintian-accepted.txt | awk 'NF { print $1 }')
failed=0
while IFS= read -r line; do
  [ -n "$line" ] || continue
  read -r level _ tag _ <<< "$line"
  case $level in
    E:) echo "lintian error: $line" >&2; failed=1 ;;
    W:)
      if grep -qxF -- "$tag" <<< "$accepted"; then
        echo "lintian warning (accepted): $line"
      else
        echo "lintian warning (not in packaging/lintian-accepted.txt): $line" >&2
        failed=1
      fi
      ;;
    *) echo "lintian: $line" ;;
  esac
done <<< "$report"
if [ $failed -ne 0 ]; then exit 1; fi
ls -l "${debs[@]}"
