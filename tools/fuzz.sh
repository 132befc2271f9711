#!/usr/bin/env bash
# Fuzzes the settings text reader and the picture reading entry point with
# libFuzzer (clang, AddressSanitizer and UndefinedBehaviorSanitizer), each
# for a bounded time, in a build folder of its own (build-fuzz/).
#   bash tools/fuzz.sh [SECONDS_PER_TARGET] [settings_text|image_read ...]
# Defaults: 600 seconds, both targets, one after the other. The corpus grows
# in build-fuzz/corpus/TARGET/ across runs; inputs that crash land in
# build-fuzz/artifacts/TARGET/. Put a fixed crash's input under
# tests/robustness/inputs/ (image/ or settings/): the robustness tests
# replay every file there, and this script seeds the fuzzers with them.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(settings_text image_read)

# clang with its libFuzzer runtime; installed when missing. CI does not
# fuzz, so the runtime is not in tools/debian-packages.txt (clang is, for
# tools/compilers.sh).
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
  sudo=""
  [[ "$(id -u)" -ne 0 ]] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    clang libclang-rt-dev
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DLUMETRA_SANITIZE=fuzzer \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMETRA_BUILD_TESTS=OFF -DLUMETRA_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target lumetra-batch \
  $(printf 'fuzz_%s ' "${targets[@]}")

# Seeds: a small picture in every format and layout the reader handles, and
# the default settings text.
seeds=build-fuzz/seeds
mkdir -p "$seeds/image_read" "$seeds/settings_text"
if [[ ! -e "$seeds/image_read/plain.jpg" ]]; then
  s=$seeds/image_read
  convert -size 24x16 gradient:red-blue "$s/plain.png"
  convert "$s/plain.png" -quality 80 "$s/plain.jpg"
  convert "$s/plain.png" -interlace Plane "$s/progressive.jpg"
  convert "$s/plain.png" -colorspace CMYK "$s/cmyk.jpg"
  convert "$s/plain.png" -colorspace Gray "$s/grey.jpg"
  convert "$s/plain.png" -orient RightTop "$s/turned.jpg"
  convert "$s/plain.png" -depth 16 "$s/deep.png"
  convert "$s/plain.png" -alpha set -channel A -evaluate set 50% "$s/translucent.png"
  convert "$s/plain.png" "$s/plain.tif"
  convert "$s/plain.png" -compress LZW "$s/lzw.tif"
  convert "$s/plain.png" -colors 16 "$s/plain.gif"
  convert "$s/plain.png" "$s/plain.bmp"
  convert "$s/plain.png" -compress RLE -colors 16 "BMP3:$s/rle.bmp"
  convert "$s/plain.png" "$s/plain.ppm"
  opj_compress -n 3 -i "$s/plain.ppm" -o "$s/plain.jp2" >/dev/null
  opj_compress -n 3 -i "$s/plain.ppm" -o "$s/plain.j2k" >/dev/null
  rm "$s/plain.ppm"
  build-fuzz/bin/lumetra-batch --print-default-settings >"$seeds/settings_text/default.lumetra"
fi
# Seeds of the formats read through their own libraries (HEIC, AVIF, WebP,
# JPEG XL), made by the libraries' own encoders; the TIFF seeds above are
# read as DNG too (see fuzz/ImageReadFuzzer.cpp).
if [[ ! -e "$seeds/image_read/plain.webp" ]]; then
  s=$seeds/image_read
  # The newer formats, made by their libraries' own encoders.
  cwebp -quiet -q 80 "$s/plain.png" -o "$s/plain.webp"
  cwebp -quiet -lossless "$s/translucent.png" -o "$s/translucent.webp"
  avifenc -s 8 "$s/plain.png" "$s/plain.avif" >/dev/null
  avifenc -s 8 --irot 1 "$s/translucent.png" "$s/turned.avif" >/dev/null
  heif-enc -q 80 "$s/plain.jpg" -o "$s/plain.heic" >/dev/null
  cjxl --quiet "$s/plain.png" "$s/plain.jxl"
  cjxl --quiet "$s/turned.jpg" "$s/turned.jxl"
fi

declare -A inputs=([image_read]=image [settings_text]=settings)
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target/
  mkdir -p "$corpus" "$artifacts"
  regressions=tests/robustness/inputs/${inputs[$target]}
  echo "== fuzz_$target for $seconds s (log: build-fuzz/fuzz_$target.log)"
  status=0
  # Qt's and libtiff's warnings about each bad input would cost more time
  # than the input itself.
  ASAN_OPTIONS=allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*=false' \
    "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$corpus" "$seeds/$target" $( [[ -d "$regressions" ]] && echo "$regressions") \
    >"build-fuzz/fuzz_$target.log" 2>&1 || status=$?
  grep -E "^Done|stat::number_of_executed_units|stat::average_exec_per_sec|ERROR|SUMMARY" \
    "build-fuzz/fuzz_$target.log" || true
  if ((status != 0)); then
    echo "fuzz_$target found a problem (exit $status): see build-fuzz/fuzz_$target.log and $artifacts"
    exit "$status"
  fi
done
