#!/usr/bin/env bash
# The seeded-fault check of the test suite: applies small faults to the
# product code one at a time, rebuilds incrementally, runs the tests of the
# fault's area and says whether they caught it. Every fault must be caught:
# a missed one names a rule no test holds. A tool for developers, not part
# of CI (it takes about a minute per fault on two cores).
#   bash tools/mutants.sh            every fault
#   bash tools/mutants.sh 3 history  only the faults whose number or name
#                                    matches one of the words
# It works in a build folder of its own (build-mutants/) and puts every file
# back as it was, also when interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

# name | file | perl substitution(s) | ctest label | test targets to build
faults=(
  "default of a field|settings/SettingsFields.cpp|s/(\"sliderContrast\", &S::sliderContrast, 3, A, )1\.f/\${1}1.5f/|statetext|test_statetext"
  "two lines of the settings text swapped|settings/SettingsFields.cpp|s/(&S::sliderRed, )7,/\${1}8,/; s/(&S::sliderGreen, )8,/\${1}7,/|statetext|test_statetext"
  "settings reader takes a text without its last line feed|settings/SettingsText.cpp|s/pieces.size\(\) != kSettingsLines \+ 1/pieces.size() < kSettingsLines/|statetext|test_statetext"
  "history bound off by one|settings/History.cpp|s/if \(current < bound\)/if (current <= bound)/|history|test_history"
  "a finished pass records what the current state holds|editor/ViewControllerHistory.cpp|s/stateImagesPath.at\(currenState\) == WriteSettingsText\(CurrentSettings\(\)\)\)\n        return;/false) return;/|history|test_history"
  "the user's change leaves a pending skip|editor/ViewControllerHistory.cpp|s/(void ViewController::NoteUserChange\(\) \{)\s*needToSaveState = true;/\$1/|history|test_history"
  "values not held to their controls' ranges|settings/SettingsFields.cpp|s/(void ClampToFieldRanges\(EditSettings& settings\) \{)/\$1 return;/|batch|test_batch lumetra-batch"
  "line breaks kept in text fields|settings/SettingsText.cpp|s/if \(IsNewline\(c.unicode\(\)\)\) c = u' ';/(void)c;/|panel|test_panel"
  "matrix numbers with three decimals|editor/ViewController.cpp|s/std::chars_format::fixed, 2\)/std::chars_format::fixed, 3)/|panel|test_panel"
  "quality label rounded instead of cut|settings/SettingsFields.cpp|s/std::floor\(double\(quality\)\)/std::round(double(quality))/|export|test_export"
  "luminance weight|render/ImageTools.h|s/kLumaR = 0.2125f/kLumaR = 0.2225f/|colour|test_colour"
  "sepia matrix off by one coefficient|render/ColourOps.cpp|s/0.3588f \* s\[0\]/0.3688f * s[0]/|colour|test_colour"
  "rotation turned the other way|render/Geometry.cpp|s/(Image ImageTools::RotateImage\(const Image& image, double degrees\) \{)/\$1 degrees = -degrees;/|geometry|test_geometry"
  "watermark position mirrored|render/WatermarkBlend.cpp|s/rect = QRectF\(0.0, 0.0, w, h\);/rect = QRectF(W - w, 0.0, w, h);/|watermark|test_watermark"
  "zoom step changed|viewport/ViewportMath.h|s/kZoomInStep = 1.1;/kZoomInStep = 1.2;/|viewport|test_viewport"
  "keep-aspect rounding changed|files/Export.cpp|s/std::round\(double\(partner\)\)/std::floor(double(partner))/|export|test_export"
  "output name without _processed|files/Export.cpp|s/QStringLiteral\(\"_processed.\"\)/QStringLiteral(\"_proc.\")/|save|test_save_command"
  "format extension not enforced|files/Export.cpp|s/(QString PathWithExtension\(const QString& path, const QString& extension\) \{)/\$1 return path;/|save|test_save_command"
  "JPEG quality ignored|files/JpegEncoder.cpp|s/quality = std::clamp\(quality, 0, 100\);/quality = 80;/|save|test_save"
  "Orientation not made normal|files/Metadata.cpp|s/(\(\*exif\)\[\"Exif.Image.Orientation\"\] = )uint16_t\(1\)/\${1}uint16_t(6)/|metadata|test_metadata"
  "atomic write replaced by a direct write|files/AtomicFile.cpp|s/(#include <QSaveFile>)/\$1\n#include <QFile>/; s/file.setDirectWriteFallback\(false\);/file.setDirectWriteFallback(true); QFile direct(path); if (direct.open(QIODevice::WriteOnly)) { direct.write(data.left(data.size() \/ 2)); direct.close(); }/|robustness|test_robustness lumetra-batch"
  "a reader's size limit lifted|files/ImageReader.cpp|s/return std::int64_t\(size.width\(\)\) \* std::int64_t\(size.height\(\)\) > maxPixels;/return false;/|open|test_open"
  "the owed pass after a merge skipped|editor/RenderScheduler.cpp|s/if \(overtaken\) fullWanted_ = true;/if (overtaken) fullWanted_ = false;/|render|test_render"
  "a stop request ignored by the kernels|render/Parallel.h|s/if \(stop && stop->load\(std::memory_order_relaxed\)\) continue;//|preview|test_preview"
  "a preview parameter left unscaled|render/RenderPipeline.cpp|s/ImageTools::BlurImage\(i, px\(s.sliderBlurIntensity\)\)/ImageTools::BlurImage(i, s.sliderBlurIntensity)/|preview|test_preview"
  "a shipped look listed beside the user's of its name|settings/Looks.cpp|s/if \(names.contains\(look.name\)\) continue;//|looks|test_looks"
  "a look applied with its own output size|editor/ViewControllerSettingsFiles.cpp|s/look.textFieldWidth = textFieldWidth->text\(\);//|looks|test_looks"
  "two inputs of one name write one output|cli/BatchJob.cpp|s/if \(takenBy\(taken, names\)\) \{/if (false) {/|batch|test_batch lumetra-batch"
  "blur radius off by one|render/Blur.cpp|s/std::round\(double\(blurRadiusInPixels\)\);/std::round(double(blurRadiusInPixels)) + 1.0;/|effects|test_effects"
  "swirl turned the other way|render/Distort.cpp|s/radius, 8.f \* angle\}/radius, -8.f * angle}/|effects|test_effects"
  "vignette start and end swapped|render/Stylize.cpp|s/start = double\(offset\) \+ 0.5;/start = double(offset) + 0.75;/; s/end = double\(offset\) \+ 0.75;/end = double(offset) + 0.5;/|effects|test_effects"
  "pixelate cells anchored a pixel off|render/Stylize.cpp|s/std::floor\(\(p \+ 0.5\) \/ side\)/std::floor((p + 1.5) \/ side)/|effects|test_effects"
  "halftone dots on the cells' corners|render/Stylize.cpp|s/const double cx = \(c \+ 0.5\) \* side;/const double cx = c * side;/|effects|test_effects"
  "a mixed box turns its effect on|render/RenderPipeline.cpp|s/if \(IsOn\(on\) && !stopped\(\)\)/if (on != 0 \&\& !stopped())/|render|test_render"
  "oil painting slider rounded|render/RenderPipeline.cpp|s/return static_cast<unsigned>\(value\);/return static_cast<unsigned>(value + 0.5f);/|render|test_render"
  "logo opacity not a percentage|render/RenderPipeline.cpp|s/double\(s.stepperImageOpacity \/ 100.f\)/double(s.stepperImageOpacity \/ 10.f)/|render|test_render"
  "rotated canvas rounded instead of cut|render/Geometry.cpp|s/const int outW = int\(std::min\(canvasW, kMaxCanvasSide\)\);/const int outW = int(std::lround(std::min(canvasW, kMaxCanvasSide)));/|geometry|test_geometry"
  "the batch tool's default jobs rule inverted|cli/BatchJob.cpp|s/largestPixels > kSmallPhotoPixels\)/largestPixels <= kSmallPhotoPixels)/|batch|test_batch lumetra-batch"
  "an output template's {dir} ignoring --base|cli/BatchJob.cpp|s/options.baseFolder.isEmpty\(\) \? QDir::currentPath\(\) : options.baseFolder/QDir::currentPath()/|batch|test_batch lumetra-batch"
)

build=build-mutants
restore=()
cleanup() {
  for file in "${restore[@]}"; do git checkout --quiet -- "$file"; done
}
trap cleanup EXIT INT TERM

if ! git diff --quiet -- app editor files render settings viewport cli; then
  echo "mutants: the product code has uncommitted changes; commit or stash them first" >&2
  exit 2
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMETRA_BUILD_BENCH=OFF \
  $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
echo "building the unchanged code once"
cmake --build "$build" -j"$(nproc)" >/dev/null

caught=0
missed=()
number=0
for entry in "${faults[@]}"; do
  number=$((number + 1))
  IFS='|' read -r name file substitution label targets <<<"$entry"
  if (($#)); then
    wanted=0
    for word in "$@"; do [[ "$number" == "$word" || "$name $label" == *"$word"* ]] && wanted=1; done
    ((wanted)) || continue
  fi
  restore=("$file")
  before=$(sha1sum "$file")
  perl -0pi -e "$substitution" "$file"
  if [[ "$(sha1sum "$file")" == "$before" ]]; then
    printf '%2d  %-58s NOT APPLIED (the code it changes has moved)\n' "$number" "$name"
    missed+=("$number not applied: $name")
    continue
  fi
  result=caught
  # shellcheck disable=SC2086
  if ! cmake --build "$build" -j"$(nproc)" --target $targets >/dev/null 2>&1; then
    # A fault that does not build proves nothing about the tests.
    result="DOES NOT BUILD (fix the fault)"
  elif (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -L "^$label\$" -j"$(nproc)" \
          --timeout 120 >/dev/null 2>&1); then
    result=MISSED
  fi
  git checkout --quiet -- "$file"
  restore=()
  printf '%2d  %-58s %-10s %s\n' "$number" "$name" "[$label]" "$result"
  if [[ "$result" == caught ]]; then caught=$((caught + 1)); else missed+=("$number $name: $result"); fi
done

# The last build holds the last fault: build the unchanged code again.
cmake --build "$build" -j"$(nproc)" >/dev/null
echo
echo "$caught caught, ${#missed[@]} missed"
((${#missed[@]} == 0))
