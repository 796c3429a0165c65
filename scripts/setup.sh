#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need: with "build", only
# those that building the command-line tool needs (scripts/sample.sh); without, all of them.
# Idempotent: packages already installed are left alone, and apt is not
# touched at all when nothing is missing.
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config libpng-dev libtinygltf-dev nlohmann-json3-dev)
packages=(
  "${build_packages[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools fonts-dejavu-core
  clang libclang-rt-14-dev
  python3 time
  # scripts/package.sh and scripts/check-packages.sh: manual pages, Debian packages and
  # their checks
  help2man dpkg-dev file lintian desktop-file-utils appstream shared-mime-info
  bash-completion man-db
)
if [ "${DURVANE_NO_GUI:-0}" = 1 ]; then
  # The longer name first: the shorter one is a substring of it.
  packages=("${packages[@]/qt6-base-dev-tools/}")
  packages=("${packages[@]/qt6-base-dev/}")
  packages=("${packages[@]/fonts-dejavu-core/}")
fi

if [ "${1:-}" = build ]; then packages=("${build_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  [ -n "$p" ] || continue
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
