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

exec bash "$(dirname "$0")/install-packages.sh" setup "${packages[@]}"
