#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lumetra side by side with libjpeg-turbo's tools, OpenCV, libvips and
# ImageMagick on one 6000 x 4000 photo (gradient plus noise, JPEG q90):
# decoding, a render pass, each effect, the text watermark and each saver.
# Everything is measured in the same run, interleaved (one run of every job
# and every tool, then the next round), and the table shows medians.
#
#   bash bench/compare.sh                 # RUNS=5 BUILD=build LIMIT=60
#   JOBS="swirl rotate45" bash bench/compare.sh   # only these rows
#
# Lumetra's figures come from build/bin/bench_job (the job alone, its input
# already in memory; "peak MB" is the process's maximum resident set). The
# tools' figures are the operation alone as well: OpenCV times it inside
# Python (bench/opencv_jobs.py); libvips and ImageMagick read and write
# their own uncompressed formats (.v, .mpc), and their plain copy of the same
# picture is taken off. The savers of libvips and ImageMagick read their
# uncompressed file, which costs them a few tens of milliseconds. A tool run
# longer than LIMIT seconds is stopped, shown as "> LIMIT s", and not run
# again. The ratio is Lumetra's time over the tool's (below 1: Lumetra is
# faster).
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
LIMIT=${LIMIT:-60}
BUILD=${BUILD:-build}
PYTHON=/usr/bin/python3 # Debian's, which python3-opencv belongs to

# ---- The tools, from Debian ------------------------------------------------------
missing=()
for pkg in libjpeg-turbo-progs libvips-tools imagemagick python3-opencv; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  sudo=""
  [[ "$(id -u)" -ne 0 ]] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# ImageMagick 6's own binary, not a wrapper that may stand in front of it.
MAGICK=$(command -v convert-im6.q16 || command -v convert)

if [[ ! -d "$BUILD" ]]; then
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >&2
fi
cmake --build "$BUILD" --target bench_job -j"$(nproc)" >&2
BENCH="$BUILD/bin/bench_job"
export QT_QPA_PLATFORM=offscreen

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-compare.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PHOTO=$("$BENCH" --photo 2>/dev/null)
djpeg -outfile "$WORK/in.ppm" "$PHOTO"
vips copy "$PHOTO" "$WORK/in.v"
"$MAGICK" "$PHOTO" "$WORK/in.mpc"

# libvips' motion blur: a one-row convolution with Lumetra's weights (40 *
# 4000 / 6000 pixels per step, the nine weights joined linearly).
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

# ---- The jobs ----------------------------------------------------------------------
# One row per job: our bench_job name, what the row is called, and for each
# tool the command that does the same job ("" where the tool has none).
# Commands are run with bash -c; $W is the work folder.
ROWS=()
declare -A LABEL TURBO VIPS IM OPENCV GOAL
row() {  # name label turbo vips magick opencv goal
  ROWS+=("$1")
  LABEL[$1]=$2 TURBO[$1]=$3 VIPS[$1]=$4 IM[$1]=$5 OPENCV[$1]=$6 GOAL[$1]=$7
}
W=$WORK
V="vips"
M="$MAGICK $W/in.mpc"
row decode "JPEG decode" "djpeg -outfile /dev/null $PHOTO" "" "" decode ""
row pass-defaults "Pass at the panel's defaults" "djpeg -outfile /dev/null $PHOTO" "" "" "" "turbo<=1.5"
row pass-all "Pass with every stage on" "" "" "" "" "abs<=5000"
row memcpy "memcpy of the float frame" "" "" "" "" ""
for stage in brightness exposure contrast saturation gamma hue rgb grayscale sepia vignette-float blend; do
  row "$stage" "Per pixel: $stage" "" "" "" "" "memcpy<=2"
done
row colour-all "Seven colour stages and sepia" "" "" "" "" ""
row cartoon "Cartoon" "" "" "" "" ""
row oilpaint "Oil painting" "" "" "$M -kuwahara 4 $W/out.mpc" "" "im<=0.05"
row vignette "Vignette" "" "" \
  "$M \( -size 6000x4000 radial-gradient:white-black \) -compose Multiply -composite $W/out.mpc" "" ""
row pixelate "Pixelate" "" "$V shrink $W/in.v $W/small.v 120 120 && $V zoom $W/small.v $W/out.v 120 120" \
  "$M -scale 50x34! -scale 6000x4000! $W/out.mpc" pixelate ""
row halftone "Halftone" "" "" "" "" ""
row blur "Gaussian blur sigma 35" "" "$V gaussblur $W/in.v $W/out.v 35" "$M -blur 0x35 $W/out.mpc" blur \
  "opencv<=0.2"
row circleblur "Circle blur" "" "" "" "" ""
row focusblur "Focus blur" "" "" "" "" ""
row motionblur "Motion blur" "" "$V conv $W/in.v $W/out.v $W/motion.mat --precision integer" \
  "$M -motion-blur 0x56+0 $W/out.mpc" motionblur "opencv<=0.25"
row zoomblur "Zoom blur" "" "" "" "" ""
row transform3d "3D transform" "" "" "" transform3d ""
row swirl "Swirl" "" "" "$M -swirl 458 $W/out.mpc" swirl "opencv<=2"
row glasssphere "Glass sphere" "" "" "" glasssphere "opencv<=2"
row rotate45 "Rotate 45 degrees" "" "$V rotate $W/in.v $W/out.v 45" "$M -rotate 45 $W/out.mpc" rotate45 \
  "opencv<=1.5"
row text "Text watermark" "" "" "" text ""
row save-jpeg "Save JPEG q80" "cjpeg -quality 80 -outfile $W/out.jpg $W/in.ppm" \
  "$V jpegsave $W/in.v $W/out.jpg --Q 80" "$M -quality 80 $W/out.jpg" save-jpeg "turbo<=1.3"
row save-png "Save PNG" "" "$V pngsave $W/in.v $W/out.png" "$M $W/out.png" save-png "vips<=1"
row save-tiff "Save TIFF" "" "$V tiffsave $W/in.v $W/out.tif" "$M $W/out.tif" save-tiff ""
row save-gif "Save GIF" "" "$V gifsave $W/in.v $W/out.gif" "$M $W/out.gif" "" "im<=1"
row save-jp2 "Save JPEG 2000" "" "$V jp2ksave $W/in.v $W/out.jp2" \
  "$M -define jp2:rate=8.7 $W/out.jp2" "" "vips<=1"

if [[ -n "${JOBS:-}" ]]; then
  read -r -a ROWS <<<"$JOBS"
  # memcpy and djpeg are what several goals are measured against.
  [[ " $JOBS " == *" memcpy "* ]] || ROWS+=(memcpy)
fi

# ---- Measuring -------------------------------------------------------------------
ms_of() {  # command... -> wall milliseconds, or "" when it fails or runs too long
  local start end
  start=$EPOCHREALTIME
  timeout "$LIMIT" bash -c "$1" >/dev/null 2>&1 || return 0
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) * 1000 }'
}
declare -A T  # "job tool" -> list of times
declare -A PEAK BYTES SLOW SIZE
add() { T["$1"]+="$2 "; }

vips_copy="$V copy $W/in.v $W/out.v"
im_copy="$M $W/out.mpc"

echo "Measuring $RUNS rounds of ${#ROWS[@]} jobs..." >&2
for ((round = 1; round <= RUNS; round++)); do
  echo "  round $round" >&2
  add "copy vips" "$(ms_of "$vips_copy")"
  add "copy im" "$(ms_of "$im_copy")"
  for job in "${ROWS[@]}"; do
    line=$("$BENCH" "$job" 2>/dev/null || true)
    ms=$(sed -n 's/.* ms=\([0-9.]*\).*/\1/p' <<<"$line")
    [[ -n "$ms" ]] && add "$job ours" "$ms"
    PEAK[$job]=$(sed -n 's/.* peak_mb=\([0-9]*\).*/\1/p' <<<"$line")
    BYTES[$job]=$(sed -n 's/.* bytes=\([0-9]*\).*/\1/p' <<<"$line")
    for tool in turbo vips im opencv; do
      case $tool in
        turbo) cmd=${TURBO[$job]:-} ;;
        vips) cmd=${VIPS[$job]:-} ;;
        im) cmd=${IM[$job]:-} ;;
        opencv) cmd=${OPENCV[$job]:-} ;;
      esac
      [[ -z "$cmd" || -n "${SLOW["$job $tool"]:-}" ]] && continue
      if [[ $tool == opencv ]]; then
        t=$("$PYTHON" bench/opencv_jobs.py "$PHOTO" "$cmd" 2>/dev/null || true)
      else
        t=$(ms_of "$cmd")
      fi
      if [[ -z "$t" ]]; then SLOW["$job $tool"]=1; else add "$job $tool" "$t"; fi
      # The size of what a saver wrote, to compare like with like.
      if [[ $job == save-* && $tool != opencv ]]; then
        out=$(ls -t "$W"/out.jpg "$W"/out.png "$W"/out.tif "$W"/out.gif "$W"/out.jp2 2>/dev/null | head -1 || true)
        [[ -n "$out" ]] && SIZE["$job $tool"]=$(stat -c %s "$out") && rm -f "$out"
      fi
    done
  done
done

median() {  # times... -> median, "" for none
  [[ $# -eq 0 ]] && return 0
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.0f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
med() { local key=$1; median ${T[$key]:-}; }

copy_vips=$(med "copy vips")
copy_im=$(med "copy im")
declare -A R  # "job tool" -> median ms of the job alone
for job in "${ROWS[@]}"; do
  R["$job ours"]=$(med "$job ours")
  for tool in turbo vips im opencv; do
    [[ -n "${SLOW["$job $tool"]:-}" ]] && { R["$job $tool"]=">${LIMIT}000"; continue; }
    m=$(med "$job $tool")
    [[ -z "$m" ]] && continue
    # Effects run from and to the tools' own formats: the copy is taken off.
    if [[ $job != save-* && $tool == vips ]]; then m=$((m > copy_vips ? m - copy_vips : 0)); fi
    if [[ $job != save-* && $tool == im ]]; then m=$((m > copy_im ? m - copy_im : 0)); fi
    R["$job $tool"]=$m
  done
done

cell() {  # job tool -> "ms (ratio)"
  local ours=${R["$1 ours"]:-} theirs=${R["$1 $2"]:-}
  [[ -z "$theirs" ]] && { echo ""; return; }
  [[ "$theirs" == ">"* ]] && { echo "> ${LIMIT} s"; return; }
  [[ "$theirs" -eq 0 ]] && { echo "< 1"; return; }
  [[ -z "$ours" ]] && { echo "$theirs"; return; }
  awk -v o="$ours" -v t="$theirs" -v b="${SIZE["$1 $2"]:-}" 'BEGIN {
    printf "%d (%.2fx)", t, o / t; if (b != "") printf " %.1f MB", b / 1e6 }'
}
goal() {  # job -> "rule: met" or ""
  local rule=${GOAL[$1]:-} ours=${R["$1 ours"]:-} ref limit value
  [[ -z "$rule" || -z "$ours" ]] && { echo ""; return; }
  ref=${rule%%<=*}
  limit=${rule##*<=}
  case $ref in
    abs) value=$ours; limit_text="< $limit ms" ;;
    memcpy) value=$(awk -v o="$ours" -v t="${R["memcpy ours"]}" 'BEGIN { printf "%.2f", o / t }')
      limit_text="<= ${limit}x memcpy" ;;
    *) [[ -z "${R["$1 $ref"]:-}" || "${R["$1 $ref"]}" == ">"* ]] && { echo "?"; return; }
      value=$(awk -v o="$ours" -v t="${R["$1 $ref"]}" 'BEGIN { printf "%.2f", o / t }')
      limit_text="<= ${limit}x $ref" ;;
  esac
  if awk -v v="$value" -v l="$limit" 'BEGIN { exit !(v <= l) }'; then
    echo "$limit_text: yes ($value)"
  else
    echo "$limit_text: NO ($value)"
  fi
}

echo
echo "6000 x 4000 photo, median of $RUNS interleaved runs, milliseconds; (ratio) = Lumetra / tool."
echo "Tools' own copy taken off: libvips $copy_vips ms, ImageMagick $copy_im ms. $(nproc) cores."
echo
printf '| %-30s | %7s | %7s | %-22s | %-22s | %-22s | %-22s | %-28s |\n' \
  "Job" "Lumetra" "peak MB" "libjpeg-turbo" "OpenCV" "libvips" "ImageMagick" "Goal"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|\n' "--------------------------------" "---------" "---------" \
  "------------------------" "------------------------" "------------------------" "------------------------" "------------------------------"
for job in "${ROWS[@]}"; do
  label=${LABEL[$job]}
  [[ -n "${BYTES[$job]:-}" ]] && label="$label ($(awk -v b="${BYTES[$job]}" 'BEGIN { printf "%.1f MB", b / 1e6 }'))"
  printf '| %-30s | %7s | %7s | %-22s | %-22s | %-22s | %-22s | %-28s |\n' "$label" "${R["$job ours"]:-?}" \
    "${PEAK[$job]:-}" "$(cell "$job" turbo)" "$(cell "$job" opencv)" "$(cell "$job" vips)" \
    "$(cell "$job" im)" "$(goal "$job")"
done
