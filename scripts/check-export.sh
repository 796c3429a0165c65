#!/usr/bin/env bash
# Checks `durvane export` with readers of its own: the Khronos glTF validator (npm package
# gltf-validator, installed into build-tools/, run with nodejs) must find no error in the .glb and
# the .gltf of the sample, of a generated model and of that model's PRJ file with a bitmap gone;
# `assimp info` must read the .glb and the .obj of each and count the same faces in both.
# DURVANE (default build/bin/durvane, built if missing) is the program checked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Debian's nodejs and npm, unless the machine has a node of its own.
packages=(assimp-utils)
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
bash scripts/install-packages.sh check-export "${packages[@]}"

validator=$root/build-tools/gltf-validator
version=2.0.0-dev.3.10
if [ ! -f "$validator/node_modules/gltf-validator/package.json" ] ||
  ! grep -q "\"version\": \"$version\"" "$validator/node_modules/gltf-validator/package.json"; then
  mkdir -p "$validator"
  npm install --silent --no-audit --no-fund --prefix "$validator" "gltf-validator@$version"
fi

durvane=${DURVANE:-build/bin/durvane}
workload=build/bin/make-workload
if [ ! -x "$durvane" ] || [ ! -x "$workload" ]; then
  cmake -S . -B build -G Ninja -DDURVANE_WERROR=ON >/dev/null
  cmake --build build --target durvane make-workload
fi
durvane=$(realpath "$durvane")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$workload" w3 "$work/generated" >/dev/null
mkdir -p "$work/sample" "$work/medium" "$work/gone"
cp examples/sample.opt "$work/sample/sample.opt"
cp "$work/generated/w3_01.opt" "$work/medium/medium.opt"
"$durvane" convert --no-sync -o "$work/gone" "$work/medium/medium.opt" >/dev/null
first_bmp=$(find "$work/gone/medium" -name '*.BMP' | sort | head -1)
rm "$first_bmp"

models=("$work/sample/sample.opt" "$work/medium/medium.opt" "$work/gone/medium/medium.prj")
for model in "${models[@]}"; do
  dir=$(dirname "$model")
  for format in glb gltf obj; do
    (cd "$dir" && "$durvane" export --format "$format" "$(basename "$model")" >/dev/null)
  done
done
# A name its URI must escape.
(cd "$work/sample" && "$durvane" export --format gltf -o "sample ship.gltf" sample.opt >/dev/null)
gltf_files=("$work/sample/sample ship.gltf")
for model in "${models[@]}"; do
  base=${model%.*}
  gltf_files+=("$base.glb" "$base.gltf")
done
node scripts/validate-gltf.mjs "$validator" "${gltf_files[@]}"

faces() { assimp info "$1" 2>&1 | sed -n 's/^Faces: *//p'; }
for model in "${models[@]}"; do
  base=${model%.*}
  glb=$(faces "$base.glb")
  obj=$(faces "$base.obj")
  if [ -z "$glb" ] || [ "$glb" != "$obj" ] || [ "$glb" -eq 0 ]; then
    echo "check-export: assimp counts ${glb:-no} faces in $base.glb but ${obj:-no} in $base.obj" >&2
    exit 1
  fi
  echo "$base.glb, $base.obj: assimp reads $glb faces in each"
done
echo "check-export: the glTF files are valid, and assimp reads the .glb and .obj files alike" >&2
