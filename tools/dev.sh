#!/usr/bin/env bash
# Sets up a Debian 12 machine for Lumetra, builds it in Release and then
# either starts the editor (run) or runs the whole test suite (test): the
# house format of every C++ source, the Release tests, the engine built with
# clang, with only its portable kernels and for ARM64 (tools/compilers.sh),
# then the engine, the editor
# and their tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# and the robustness tests with ThreadSanitizer (tools/sanitize.sh).
#   bash tools/dev.sh run [FILE...]
#   bash tools/dev.sh test
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
  run | test) shift ;;
  *) echo "usage: bash tools/dev.sh run [FILE...] | test" >&2; exit 2 ;;
esac

# Install the Debian packages that are missing.
missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done < tools/debian-packages.txt
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [[ "$(id -u)" -ne 0 ]] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
# ccache, where it is installed, keeps the objects of earlier builds; paths
# below this checkout are hashed relative to it, so a fresh clone in another
# folder reuses what an earlier one compiled.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
cmake --build build -j"$jobs"

if [[ "$mode" == run ]]; then
  exec build/bin/lumetra "$@"
fi
bash tools/format.sh --check
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")
bash tools/compilers.sh
bash tools/sanitize.sh address thread
