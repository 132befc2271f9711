#!/usr/bin/env bash
# Builds the engine beyond GCC on x86-64. Each check compiles only the
# lumetra_engine library (the kernels, the file formats and the window-free
# editor logic) at -O0 with its Qt headers precompiled, without the tests,
# in a build folder of its own under build-compilers/, and fails on a
# warning as on an error:
#   clang     compiled with clang++, the AVX2 variants included
#   portable  compiled with LUMETRA_PORTABLE=ON: the portable kernels alone,
#             as an ARM64 machine builds them; with clang++, so that with
#             the next check both compilers see them
#   aarch64   every engine source checked (-fsyntax-only) by the ARM64 cross
#             compiler, aarch64-linux-gnu-g++, with the flags of a GCC build
#             for x86-64: an x86 header or built-in that no guard keeps from
#             other processors fails here
#   bash tools/compilers.sh [clang] [portable] [aarch64]    (default: all three)
# tools/dev.sh test runs all three; the compilers are in
# tools/debian-packages.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

checks=("$@")
((${#checks[@]})) || checks=(clang portable aarch64)
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure() {  # folder, then cmake arguments
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
    -DCMAKE_CXX_FLAGS=-Werror -DLUMETRA_PRECOMPILE_HEADERS=ON \
    -DLUMETRA_BUILD_TESTS=OFF -DLUMETRA_BUILD_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
}

# The cross compiler brings the ARM64 C and C++ libraries. The other headers
# are the host's, searched after its own (-idirafter): Qt's, exiv2's and the
# codecs' headers are the same on every Debian architecture except the few
# a build configures (Qt's qconfig.h and qt*-config.h, libjpeg's jconfig.h).
# Their x86-64 versions hold for ARM64, which is little-endian LP64 Linux
# too; Qt drops the x86 feature macros of its configuration by itself when
# the compiler targets another processor.
aarch64_check() {
  local dir=build-compilers/gcc
  # Configured, not built: the compile commands and the moc output, which
  # is one of the engine's sources.
  CXX=g++ configure "$dir"
  cmake --build "$dir" --target lumetra_engine_autogen >/dev/null
  local multiarch
  multiarch=$(gcc -print-multiarch)
  local pch=() sources=() line i header
  local -a words args
  # The engine's compile commands, one a line, JSON escapes undone; each is
  # run by the cross compiler, the precompiled header's as it is (into the
  # place the others read it from), the sources' with -fsyntax-only.
  while IFS= read -r line; do
    eval "words=($line)"
    header=0
    [[ " ${words[*]} " == *" c++-header "* ]] && header=1
    args=(aarch64-linux-gnu-g++)
    ((header)) || args+=(-fsyntax-only)
    for ((i = 1; i < ${#words[@]}; i++)); do
      if ((!header)) && [[ "${words[i]}" == -o ]]; then
        i=$((i + 1))
      else
        args+=("${words[i]}")
      fi
    done
    args+=(-idirafter /usr/include -idirafter "/usr/include/$multiarch")
    if ((header)); then
      pch+=("$(printf '%q ' "${args[@]}")")
    else
      sources+=("$(printf '%q ' "${args[@]}")")
    fi
  done < <(sed -n 's/^ *"command": "\(.*\)",\{0,1\}$/\1/p' "$dir/compile_commands.json" |
    grep -F /lumetra_engine.dir/ | sed 's/\\\(["\\]\)/\1/g')
  echo "${#sources[@]} engine sources"
  (cd "$dir" && for command in "${pch[@]}"; do eval "$command"; done)
  printf '%s\n' "${sources[@]}" |
    (cd "$dir" && xargs -d '\n' -P "$jobs" -n 1 bash -c 'eval "$1"' check)
}

for check in "${checks[@]}"; do
  case "$check" in
    clang)
      echo "== clang++: the engine with its AVX2 variants (build-compilers/clang)"
      CXX=clang++ configure build-compilers/clang
      cmake --build build-compilers/clang -j"$jobs" --target lumetra_engine
      ;;
    portable)
      echo "== clang++, LUMETRA_PORTABLE=ON: the engine's portable kernels alone (build-compilers/portable)"
      CXX=clang++ configure build-compilers/portable -DLUMETRA_PORTABLE=ON
      cmake --build build-compilers/portable -j"$jobs" --target lumetra_engine
      ;;
    aarch64)
      echo "== aarch64-linux-gnu-g++ -fsyntax-only: every engine source for ARM64 (build-compilers/gcc)"
      aarch64_check
      ;;
    *)
      echo "usage: bash tools/compilers.sh [clang] [portable] [aarch64]" >&2
      exit 2
      ;;
  esac
done
