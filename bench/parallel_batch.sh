#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# lumetra-batch over many small photos: one process working through them
# one after another (--jobs 1) against GNU parallel running one process per
# photo in two slots, and the ways in between, and one process on one core
# (--threads 1). Prints the median wall time of each over RUNS interleaved
# rounds and its speed-up over the first.
#
#   bash bench/parallel_batch.sh            # COUNT=200 SIZE=1732x1155 RUNS=3
#   LOOK=Cartoon COUNT=50 bash bench/parallel_batch.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
COUNT=${COUNT:-200}
SIZE=${SIZE:-1732x1155}  # 2.0 megapixels
RUNS=${RUNS:-3}
SLOTS=${SLOTS:-2}
LOOK=${LOOK:-Warm sepia print}
BATCH=$(realpath "$BUILD/bin/lumetra-batch")
[ -x "$BATCH" ] || { echo "build lumetra-batch first: cmake --build $BUILD --target lumetra-batch" >&2; exit 1; }
command -v parallel >/dev/null || { echo "GNU parallel is missing (apt-get install parallel)" >&2; exit 1; }

# The photos: COUNT different JPEGs (quality 90), made once and kept.
PHOTOS=${TMPDIR:-/tmp}/lumetra-parallel-bench-$COUNT-$SIZE
if [ ! -f "$PHOTOS/.complete" ]; then
    mkdir -p "$PHOTOS/in"
    echo "making $COUNT photos of $SIZE in $PHOTOS ..." >&2
    seq -w 1 "$COUNT" | parallel --will-cite \
        convert -size "$SIZE" -seed {} plasma:fractal -quality 90 "$PHOTOS/in/photo{}.jpg"
    touch "$PHOTOS/.complete"
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export PARALLEL_HOME=$WORK/parallel-home BATCH LOOK WORK
mkdir -p "$PARALLEL_HOME"
cd "$PHOTOS"

run() {  # name, command...: prints the seconds the command took
    local name=$1
    shift
    rm -rf "$WORK/out"
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$WORK/err" || { echo "$name failed:" >&2; tail -5 "$WORK/err" >&2; exit 1; }
    end=$(date +%s.%N)
    local written
    written=$(find "$WORK/out" -type f | wc -l)
    [ "$written" -eq "$COUNT" ] || { echo "$name wrote $written of $COUNT" >&2; exit 1; }
    echo "$end - $start" | bc
}

names=(sequential sequential-threads1 parallel parallel-threads1 parallel-batches in-process-default)
declare -A commands=(
    [sequential]="\"\$BATCH\" --look \"\$LOOK\" --jobs 1 -o \"\$WORK/out\" in/*.jpg"
    [sequential-threads1]="\"\$BATCH\" --look \"\$LOOK\" --jobs 1 --threads 1 -o \"\$WORK/out\" in/*.jpg"
    [parallel]="parallel --will-cite -j$SLOTS \"\$BATCH\" --look \"'\$LOOK'\" --output-template \"'\$WORK/out/{dir}/{name}_processed.{ext}'\" --base in {} ::: in/*.jpg"
    [parallel-threads1]="parallel --will-cite -j$SLOTS \"\$BATCH\" --look \"'\$LOOK'\" --threads 1 --output-template \"'\$WORK/out/{dir}/{name}_processed.{ext}'\" --base in {} ::: in/*.jpg"
    [parallel-batches]="parallel --will-cite -j$SLOTS -X \"\$BATCH\" --look \"'\$LOOK'\" --threads 1 --output-template \"'\$WORK/out/{dir}/{name}_processed.{ext}'\" --base in ::: in/*.jpg"
    [in-process-default]="\"\$BATCH\" --look \"\$LOOK\" -o \"\$WORK/out\" in/*.jpg"
)
declare -A times
for ((round = 1; round <= RUNS; round++)); do
    for name in "${names[@]}"; do
        times[$name]+="$(run "$name" bash -c "${commands[$name]}") "
    done
done
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
base=$(echo "${times[sequential]}" | median)
printf '%s photos of %s, look "%s", %s slots, %s cores, median of %s rounds\n' \
    "$COUNT" "$SIZE" "$LOOK" "$SLOTS" "$(nproc)" "$RUNS"
for name in "${names[@]}"; do
    t=$(echo "${times[$name]}" | median)
    printf '%-20s %7.2f s  %5.2fx   (runs: %s)\n' "$name" "$t" "$(echo "$base / $t" | bc -l)" "${times[$name]}"
done
