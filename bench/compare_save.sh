#!/usr/bin/env bash
# Saves the benchmark's 24-megapixel photo with Lumetra (build/bin/bench_save)
# and with ImageMagick's convert in the same run, and prints one table of
# median wall-clock times and file sizes.
#   bash bench/compare_save.sh [BUILD_DIR]      (RUNS=5 for more repetitions)
#
# convert is given the photo as raw 8-bit RGB, so that it does not pay for
# decoding a JPEG: its time is reading 72 MB of raw pixels plus the encode
# and the write. The "read only" line is that reading alone (raw RGB to
# null:). Lumetra's time is SaveImage on the photo held in memory: drawing
# the bitmap, encoding and the atomic write (with its flush to disk).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
runs=${RUNS:-3}
bench="$build/bin/bench_save"
if [[ ! -x "$bench" ]]; then
  echo "No $bench: build it first (cmake --build $build --target bench_save)." >&2
  exit 1
fi

# ImageMagick, installed when missing. The Debian binary is called by its
# own name, so that nothing else named convert on the PATH is timed.
if ! command -v convert-im6.q16 >/dev/null 2>&1 && ! command -v convert >/dev/null 2>&1; then
  sudo=""
  [[ "$(id -u)" -ne 0 ]] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends imagemagick
fi
magick=$(command -v convert-im6.q16 || command -v convert)

work=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "Lumetra: $bench, $runs repetitions" >&2
# The benchmark also writes the shared photo on its first run.
"$bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null >"$work/lumetra.csv"
photo="${TMPDIR:-/tmp}/lumetra-bench-6000x4000-q90.jpg"
[[ -f "$photo" ]] || { echo "The benchmark photo $photo is missing." >&2; exit 1; }

# Median real time (ms) and file size of one of our benchmarks.
ours() {
  awk -F, -v name="\"Save/$1/real_time_median\"" \
    '$1 == name { printf "%.0f %.0f\n", $3, $NF }' "$work/lumetra.csv"
}

"$magick" "$photo" -depth 8 "rgb:$work/photo.rgb"
geometry=$(identify -format "%wx%h" "$photo")

# Median wall-clock milliseconds of convert over the runs; the output is
# left in $work/out.<ext>.
theirs() {
  local out=$1
  shift
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    "$magick" -size "$geometry" -depth 8 "rgb:$work/photo.rgb" "$@" "$out"
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

# The rate Lumetra's JPEG 2000 encoder uses at the default factor 0.8:
# 4 * 50^(1 - 0.8).
jp2rate=$(awk 'BEGIN { printf "%.4f", 4 * 50 ^ 0.2 }')

echo "ImageMagick: $magick, $runs runs each" >&2
printf '\n%-22s %12s %10s %16s %10s %8s\n' "Save of 6000x4000" "Lumetra ms" "MB" "ImageMagick ms" "MB" "ratio"
row() {
  local label=$1 bench=$2 ext=$3
  shift 3
  read -r ms bytes < <(ours "$bench")
  local im
  im=$(theirs "$work/out.$ext" "$@")
  local imBytes
  imBytes=$(stat -c %s "$work/out.$ext")
  awk -v l="$label" -v a="$ms" -v b="$bytes" -v c="$im" -v d="$imBytes" 'BEGIN {
    printf "%-22s %12d %10.2f %16d %10.2f %7.2fx\n", l, a, b / 1e6, c, d / 1e6, c / a }'
}
row "JPEG quality 80" Jpeg80 jpg -quality 80
row "PNG" Png png
row "TIFF" Tiff tiff
row "GIF" Gif gif
row "JPEG 2000 (0.8)" Jpeg2000At80 jp2 -define "jp2:rate=$jp2rate"
row "BMP" Bmp bmp
printf '%-22s %12s %10s %16d\n' "convert: read only" "" "" "$(theirs "null:")"
echo
echo "ratio: ImageMagick's time over Lumetra's (above 1: Lumetra is faster)."
