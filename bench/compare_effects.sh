#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times Lumetra's effect filters at the panel's defaults on the shared
# 6000 x 4000 photo, and in the same run ImageMagick and libvips doing the
# same jobs where they have them, then prints one table (medians).
#
#   bash bench/compare_effects.sh            # RUNS=3 LIMIT=120 BUILD=build
#
# Lumetra's times come from build/bin/bench_effects (the effect on the
# decoded float frame in memory). The tools read and write their own
# uncompressed formats (libvips .v, ImageMagick .mpc); their copy of the
# same picture is timed too and taken off, so each column is the job alone.
# A tool run longer than LIMIT seconds is stopped and shown as "> LIMIT s".
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-3}
LIMIT=${LIMIT:-120}
BUILD=${BUILD:-build}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-compare.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# ---- The tools, from Debian ----------------------------------------------------
missing=()
for pkg in imagemagick libvips-tools; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  sudo=""
  [[ "$(id -u)" -ne 0 ]] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# ImageMagick 6's own binary (not a wrapper that may stand in front of it).
MAGICK=$(command -v convert-im6.q16 || command -v convert)

# ---- Lumetra ---------------------------------------------------------------------
# The machine may be shared: each of our effects is timed right before the
# tools do the same job, so that both meet the same load.
cmake --build "$BUILD" --target bench_effects -j2 >&2
declare -A lumetra_ms
# Median wall time in ms of one benchmark ("Blur", "Rotate45", ...).
ours() {
  if [[ -z "${lumetra_ms[$1]:-}" ]]; then
    lumetra_ms[$1]=$("$BUILD/bin/bench_effects" --benchmark_filter="^Run/$1/" \
      --benchmark_repetitions="$RUNS" --benchmark_report_aggregates_only=true \
      --benchmark_format=csv 2>/dev/null |
      awk -F, -v name="\"Run/$1/process_time/real_time" '
        $1 == name "_median\"" { median = $3 } $1 == name "\"" { single = $3 }
        END { printf "%.0f", median != "" ? median : single }')
  fi
  echo "${lumetra_ms[$1]}"
}
ours Blur >/dev/null  # also writes the photo the tools read

# ---- The same photo for the tools ------------------------------------------------
PHOTO="${TMPDIR:-/tmp}/lumetra-bench-6000x4000-q90.jpg"  # written by bench_effects
vips copy "$PHOTO" "$WORK/in.v"
"$MAGICK" "$PHOTO" "$WORK/in.mpc"

# Median wall time in ms of a command over RUNS runs, or ">LIMIT" when a run
# takes longer than LIMIT seconds.
timed() {
  local times=() start end
  for ((i = 0; i < RUNS; i++)); do
    start=$EPOCHREALTIME
    if ! timeout "$LIMIT" "$@" >/dev/null 2>&1; then
      echo ">$LIMIT"
      return
    fi
    end=$EPOCHREALTIME
    times+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.0f", (e - s) * 1000 }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# The job alone: the run minus the tool's copy of the same picture.
net() {
  local total=$1 copy=$2
  [[ "$total" == ">"* ]] && { echo "> ${total#>} s"; return; }
  echo $((total > copy ? total - copy : 0))
}

vips_copy=$(timed vips copy "$WORK/in.v" "$WORK/out.v")
magick_copy=$(timed "$MAGICK" "$WORK/in.mpc" "$WORK/out.mpc")

# Motion blur in libvips: a convolution with a one-row mask of Lumetra's
# weights (40 * 4000 / 6000 pixels per step, the nine weights joined linearly).
awk 'BEGIN {
  split("0.05 0.09 0.12 0.15 0.18 0.15 0.12 0.09 0.05", w, " ");
  step = 40 * 4000 / 6000; reach = int(4 * step); n = 2 * reach + 1; sum = 0;
  for (k = -reach; k <= reach; k++) {
    u = k / step + 4; i = int(u); t = u - i;
    v = (i >= 8) ? w[9] : w[i + 1] * (1 - t) + w[i + 2] * t;
    m[k] = int(v * 1000 + 0.5); sum += m[k];
  }
  printf "%d 1 %d 0\n", n, sum;
  for (k = -reach; k <= reach; k++) printf "%d ", m[k];
  print "";
}' >"$WORK/motion.mat"

echo "Measuring (each tool job up to $RUNS runs, at most $LIMIT s a run)..." >&2
declare -A magick vips_
magick[blur]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" -blur 0x35 "$WORK/out.mpc")" "$magick_copy")
vips_[blur]=$(net "$(timed vips gaussblur "$WORK/in.v" "$WORK/out.v" 35)" "$vips_copy")
ours OilPaint >/dev/null
magick[kuwahara]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" -kuwahara 31 "$WORK/out.mpc")" "$magick_copy")
ours MotionBlur >/dev/null
magick[motion]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" -motion-blur 0x56+0 "$WORK/out.mpc")" "$magick_copy")
vips_[motion]=$(net "$(timed vips conv "$WORK/in.v" "$WORK/out.v" "$WORK/motion.mat" --precision integer)" "$vips_copy")
ours Swirl >/dev/null
magick[swirl]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" -swirl 458 "$WORK/out.mpc")" "$magick_copy")
ours Pixelate >/dev/null
magick[pixelate]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" -scale 50x34! -scale 6000x4000! "$WORK/out.mpc")" "$magick_copy")
# Two commands, two copies: block averages, then each repeated 120 times.
vips_[pixelate]=$(net "$(timed bash -c "vips shrink '$WORK/in.v' '$WORK/small.v' 120 120 &&
  vips zoom '$WORK/small.v' '$WORK/out.v' 120 120")" "$((2 * vips_copy))")
ours Vignette >/dev/null
magick[vignette]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" \( -size 6000x4000 radial-gradient:white-black \) \
  -compose Multiply -composite "$WORK/out.mpc")" "$magick_copy")
ours Rotate45 >/dev/null
magick[rotate]=$(net "$(timed "$MAGICK" "$WORK/in.mpc" -rotate 45 "$WORK/out.mpc")" "$magick_copy")
vips_[rotate]=$(net "$(timed vips rotate "$WORK/in.v" "$WORK/out.v" 45)" "$vips_copy")

# ---- The table ---------------------------------------------------------------------
# Lumetra passes a job when it beats the faster of the tools that have it.
verdict() {
  local mine=$1 best="" v
  [[ -z "$mine" ]] && { echo "?"; return; }
  for v in "${@:2}"; do
    [[ -z "$v" || "$v" == ">"* ]] && continue
    [[ -z "$best" || "$v" -lt "$best" ]] && best=$v
  done
  if [[ -z "$best" ]]; then echo "yes"; elif ((mine < best)); then echo "yes"; else echo "NO"; fi
}

printf '\nMedian of %s runs, milliseconds. Tools: copy of the picture taken off (libvips %s ms, ImageMagick %s ms).\n\n' \
  "$RUNS" "$vips_copy" "$magick_copy"
printf '| %-22s | %9s | %12s | %12s | %-7s |\n' "Job" "Lumetra" "ImageMagick" "libvips" "faster"
printf '|%s|%s|%s|%s|%s|\n' "------------------------" "-----------" "--------------" "--------------" "---------"
row() {  # name, our benchmark, key
  local mine
  mine=$(ours "$2")
  printf '| %-22s | %9s | %12s | %12s | %-7s |\n' "$1" "$mine" "${magick[$3]:-n/a}" "${vips_[$3]:-n/a}" \
    "$(verdict "$mine" "${magick[$3]:-}" "${vips_[$3]:-}")"
}
row "Gaussian blur sigma 35" Blur blur
row "Kuwahara (oil paint)" OilPaint kuwahara
row "Motion blur" MotionBlur motion
row "Swirl" Swirl swirl
row "Pixelate" Pixelate pixelate
row "Vignette" Vignette vignette
row "Rotate 45 degrees" Rotate45 rotate

printf '\nEvery effect at its default (goal: under 1500 ms):\n\n'
for name in Cartoon OilPaint Vignette Pixelate Halftone Blur CircleBlur FocusBlur MotionBlur ZoomBlur \
  Transform3D Swirl GlassSphere Rotate45; do
  mine=$(ours "$name")
  printf '  %-12s %6s ms  %s\n' "$name" "$mine" "$([[ -n "$mine" && "$mine" -lt 1500 ]] && echo ok || echo SLOW)"
done
