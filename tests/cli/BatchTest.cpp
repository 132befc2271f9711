// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch, run as a user runs it: exit statuses, messages, the files it
// writes and pixels that match the editor's pipeline; then its pure rules.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "cli/BatchJob.h"
#include "cli/BatchRun.h"
#include "cli/OutputTemplate.h"
#include "settings/SettingsText.h"

namespace lumetra::test {
namespace {

class BatchTool : public ::testing::Test {
  protected:
    void SetUp() override {
        good1 = WriteImageFile(dir, "one.png", PhotoLike(64, 40));
        png.comboFormat = 5;  // PNG: exact pixels
        ASSERT_TRUE(WriteSettingsFile(settings, png));
    }
    QTemporaryDir dir;
    QString good1, out = dir.filePath("out"), settings = dir.filePath("look.lumetra");
    EditSettings png;
};

TEST_F(BatchTool, AnswersEachRunWithItsStatusAndNeverWritesOverAFileUnasked) {
    const QString text = dir.filePath("plain.txt"), existing = out + "/one_processed.png";
    const QString inOut = out + "/one.png";  // its output is existing, also an input
    ASSERT_TRUE(WriteBytes(text, "text") && QDir().mkpath(out) && WriteBytes(existing, "mine") &&
                QFile::copy(good1, inOut));
    const std::tuple<QStringList, int, QString> cases[] = {
        // arguments, status, what it says
        {{"--print-default-settings"}, 0, WriteSettingsText(EditSettings())},
        {{"--help"}, 0, "Usage: lumetra-batch"},
        {{"-o", out, good1}, 2, "--settings FILE or --look NAME is required\n\nUsage:"},
        {{"--settings", text, "-o", out, good1}, 1, "not a Lumetra settings file"},
        {{"--settings", settings, "-o", text + "/out", good1}, 1, "output folder"},
        {{"--settings", settings, "-o", out, good1}, 1, "already exists (give --overwrite"},
        {{"--settings", settings, "--overwrite", "-o", out, inOut, existing}, 1, "of the inputs"}};
    for (const auto& [arguments, status, message] : cases) {
        const BatchRun run = Batch(arguments);
        EXPECT_EQ(run.status, status) << arguments.join(' ').toStdString();
        EXPECT_TRUE((run.out + run.err).contains(message)) << (run.out + run.err).toStdString();
    }
    EXPECT_EQ(Bytes(existing), "mine");
}

TEST_F(BatchTool, WritesEveryFormat) {
    const struct {
        const char* ext;
        QByteArray magic;
    } formats[] = {{"jpg", "\xFF\xD8"},
                   {"jpeg", "\xFF\xD8"},
                   {"jpe", "\xFF\xD8"},
                   {"jp2", QByteArray("\0\0\0\x0CjP", 6)},
                   {"jpx", QByteArray("\0\0\0\x0CjP", 6)},
                   {"png", "\x89PNG"},
                   {"tiff", "II*"},
                   {"tif", "II*"},
                   {"gif", "GIF8"},
                   {"bmp", "BM"},
                   {"webp", "RIFF"},
                   {"avif", QByteArray("\0\0\0", 3)}};
    for (const auto& f : formats) {
        const BatchRun run =
            Batch({"--settings", settings, "--format", f.ext, "--height", "20", "-o", out, good1});
        ASSERT_EQ(run.status, 0) << f.ext << ": " << run.err.toStdString();
        const QString path = out + "/one_processed." + f.ext;
        EXPECT_TRUE(Bytes(path).startsWith(f.magic)) << f.ext;
        EXPECT_EQ(ReadImageFile(path).image.width(), 32) << f.ext << ": the kept aspect";
    }
}

// Inputs of one name get outputs of their own, never an input's (names
// differing in case differ), with the editor's pixels: values beyond the
// controls held as the controls hold them.
TEST_F(BatchTool, EachInputGetsTheEditorsPixelsInAnOutputOfItsOwn) {
    for (const char* folder : {"a", "b", "c", "out"}) ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
    const QString a = WriteImageFile(dir, "a/x.png", PhotoLike(64, 40));
    const QString b = WriteImageFile(dir, "b/x.png", PhotoLike(50, 50, true));
    const QString c = WriteImageFile(dir, "c/X.png", PhotoLike(30, 20));
    const QString inOut = WriteImageFile(dir, "out/x_processed-2.png", PhotoLike(9, 9));
    const QByteArray inOutBytes = Bytes(inOut);
    ASSERT_TRUE(WriteBytes(out + "/x_processed.png", "mine"));  // --overwrite replaces it
    EditSettings held = png;
    held.checkSepia = held.checkSwirl = held.check3DTransform = held.checkTextWatermark = 1;
    held.textFieldText = "Batch";
    EditSettings written = held;
    const std::tuple<float EditSettings::*, float, float> values[] = {
        // a field, beyond, held
        {&EditSettings::sliderGamma, 6.f, 3.f},
        {&EditSettings::sliderSwirlAngle, 40.f, 5.f},
        {&EditSettings::stepper3DTransformM11, 25.f, 10.f}};
    for (const auto& [field, beyond, kept] : values) written.*field = beyond, held.*field = kept;
    ASSERT_NE(Rendered(a, written), Rendered(a, held)) << "the values must tell";
    ASSERT_TRUE(WriteSettingsFile(settings, written));

    const BatchRun run = Batch({"--settings", settings, "--overwrite", "-o", out, a, b, c, inOut});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.endsWith("4 of 4 photos written to " + out + "\nlumetra-batch: renamed, " +
                                 "since an earlier photo of the batch has the same name:\n  " + b +
                                 " -> " + out + "/x_processed-3.png\n"))
        << run.err.toStdString();
    const std::pair<QString, QString> outputs[] = {{a, "x_processed.png"},
                                                   {b, "x_processed-3.png"},
                                                   {c, "X_processed.png"},
                                                   {inOut, "x_processed-2_processed.png"}};
    for (const auto& [input, output] : outputs)
        EXPECT_EQ(Pixels(out + "/" + output), Rendered(input, held)) << output.toStdString();
    EXPECT_EQ(Bytes(inOut), inOutBytes);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 5);
}

// Without a desktop session (ssh, cron, CI) XDG_RUNTIME_DIR is unset. Here
// too: without keep aspect, --width and --height set both sides.
TEST_F(BatchTool, HeadlessRunPrintsOnlyProgressAndSummaryAndLeavesNoTemporaryFile) {
    png.checkKeepAspect = 0;
    ASSERT_TRUE(WriteSettingsFile(settings, png));
    QTemporaryDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_RUNTIME_DIR", "QT_QPA_PLATFORM", "QT_LOGGING_RULES"})
        environment.remove(name);
    environment.insert("TMPDIR", temp.path());
    const QString two = WriteImageFile(dir, "two.jpg", PhotoLike(50, 50), "jpeg");
    const BatchRun run =
        Batch({"--settings", settings, "--width", "10", "--height", "30", "-o", out, good1, two},
              environment);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Pixels(out + "/one_processed.png").size(), QSize(10, 30));
    const QRegularExpression expected(
        "^(\\[[12]/2\\] \\S+ -> \\S+_processed\\.png\\n){2}"
        "lumetra-batch: 2 of 2 photos written[^\\n]*\\n$");
    EXPECT_TRUE(expected.match(run.err).hasMatch()) << run.err.toStdString();
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

// {dir} relative to the base, never climbing out of it; the format's
// extension always ends the name.
TEST(OutputTemplate, ExpandsEachPlaceholderOnceInsideTheTree) {
    // A template, an input under /p, and its output under /r or "" for refused.
    const char* cases[][3] = {
        {"out/{dir}/{name}_processed.{ext}", "/p/a/b/x.png", "/r/out/a/b/x_processed.jpg"},
        {"out/{dir}/{name}_processed.{ext}", "/p/x.tif", "/r/out/x_processed.jpg"},
        {"{name}", "/p/a/x.y.png", "/r/x.y.jpg"},
        {"/abs/{dir}-{name}.{ext}", "/p/a/x.png", "/abs/a-x.jpg"},
        {"{name}.png", "/p/x.png", "/r/x.png.jpg"},
        {"{dir}/{name}", "/p/a/{ext}.png", "/r/a/{ext}.jpg"},
        {"{dir}/{name}", "/p/a/../../q/x.png", ""},
        {"{dir}/{name}", "/elsewhere/x.png", ""},
        {"{dir}/{name}", "/p/a/...png", ""}};
    for (const auto& [pattern, input, expected] : cases)
        EXPECT_EQ(batch::ExpandOutputTemplate(pattern, input, "/p", "/r", "jpg", {}).value_or(""),
                  expected)
            << input;
    for (const char* bad :
         {"", "out/{dir}", "{name}/x.{ext}", "{name}{size}", "{name}{", "{{name}}"})
        EXPECT_FALSE(batch::OutputTemplateError(bad).isEmpty()) << bad;
}

// Under a template nothing is renamed: a later input whose output an
// earlier one takes fails, as one outside the base does; the others go on.
TEST(OutputTemplate, PlannedOutputsNeverClash) {
    batch::BatchPlan plan;
    plan.settings.comboFormat = 5;
    plan.outputTemplate = "out/{dir}/{name}.{ext}";
    plan.baseFolder = "/p";
    plan.outputFolder = "/r";
    plan.inputs = QStringList{"/p/a/x.jpg", "/p/a/x.tif", "/q/y.jpg", "/p/x.jpg", "/p/a/x.jpg"};
    QStringList errors;
    EXPECT_EQ(
        batch::PlanOutputPaths(plan, &errors),
        (QStringList{"/r/out/a/x.png", "/r/out/a/x.png", "", "/r/out/x.png", "/r/out/a/x.png"}));
    const char* expected[] = {"", "also /p/a/x.jpg's", "outside the base", "", "also /p/a/x.jpg's"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(*expected[i] ? errors[i].contains(expected[i]) : errors[i].isEmpty())
            << i << ": " << errors[i].toStdString();
}

TEST(BatchJobs, OnePerCoreForManySmallPhotosElseOne) {
    const qint64 cases[][4] = {// inputs, pixels of the largest, cores, jobs
                               {200, 2'000'000, 2, 2},  {200, 2'000'000, 8, 8},
                               {3, 1'000'000, 8, 3},    {1, 2'000'000, 8, 1},
                               {200, 24'000'000, 8, 1}, {200, -1, 8, 1},
                               {200, 2'000'000, 1, 1}};
    for (const auto& [inputs, largest, cores, jobs] : cases)
        EXPECT_EQ(batch::DefaultJobs(inputs, largest, int(cores)), jobs)
            << inputs << " inputs of " << largest << " pixels on " << cores << " cores";
}

TEST(BatchOptions, ParsesEveryOption) {
    QString error;
    const QString all =
        "--settings=a.lumetra --logo l.png --format TIF --quality 85 --width 800 "
        "--no-keep-exif --overwrite --jobs 2 -o out -- -odd-name.jpg";
    const auto o = batch::ParseOptions(all.split(' '), &error);
    ASSERT_TRUE(o) << error.toStdString();
    EXPECT_TRUE(o->settingsFile == "a.lumetra" && o->logoFile == "l.png" && o->formatIndex == 7 &&
                o->quality == 85 && o->width == 800.0 && !o->height && o->keepExif == false &&
                o->overwrite && o->jobs == 2 && o->outputFolder == "out" &&
                o->inputs == QStringList{"-odd-name.jpg"});
    const QString good = "--settings a -o o x.jpg ";
    for (const QString& bad :
         {QString("--settings a -o o"), QString("--settings a x.jpg"), QString("--bogus"),
          QString("--settings a --output-template {dir}/x x.jpg"), good + "--width -5",
          good + "--keep-exif --no-keep-exif", good + "--jobs 0", good + "--look b",
          good + "--base b", good + "--quality 0", good + "--format xyz"})
        EXPECT_FALSE(batch::ParseOptions(bad.split(' '), &error)) << bad.toStdString();
}

}  // namespace
}  // namespace lumetra::test
