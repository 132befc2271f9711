// SPDX-License-Identifier: GPL-3.0-or-later
// lumetra-batch, run as a user runs it: exit codes, messages, the files it
// writes, and pixels that match the editor's pipeline.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "cli/BatchJob.h"
#include "cli/BatchOptions.h"
#include "cli/OutputTemplate.h"
#include "cli/BatchRun.h"
#include "settings/SettingsText.h"
#include "files/ImageReader.h"
#include "render/EffectsTestSupport.h"
#include "render/RenderPipeline.h"
#include "support/TestImages.h"

namespace lumetra {
namespace {

using test::Batch;
using test::BatchRun;

class BatchTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        good1 = test::WriteImageFile(dir, "one.png", test::PhotoLike(64, 40));
        good2 = test::WriteImageFile(dir, "two.jpg", test::PhotoLike(50, 50), "jpeg");
        out = dir.filePath("out");
    }
    QString WriteSettings(const EditSettings& s, const QString& name = "look.lumetra") {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteSettingsText(s).toUtf8());
        return path;
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QTemporaryDir dir;
    QString good1, good2, out;
};

TEST_F(BatchTool, PrintsTheEditorsDefaults) {
    const BatchRun run = Batch({"--print-default-settings"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, WriteSettingsText(EditSettings()));
}

TEST_F(BatchTool, RendersAsTheEditorsPipelineDoes) {
    EditSettings s;
    s.checkSepia = 1;
    s.sliderSepiaIntensity = 0.8f;
    s.checkTextWatermark = 1;
    s.textFieldText = "Batch";
    s.stepperTextFontSize = 20.f;
    s.comboTextPosition = 4;
    s.comboFormat = 5;  // PNG: exact pixels
    const BatchRun run = Batch({"--settings", WriteSettings(s), "-o", out, good1});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const ReadResult written = ReadImageFile(out + "/one_processed.png");
    ASSERT_TRUE(written.ok());
    const QImage expected =
        RenderPipeline(ReadImageFile(good1).image, s, Image()).toQImage().convertToFormat(
            QImage::Format_RGBA8888);
    const QImage got = written.image.toQImage().convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(run.err.contains("1 of 1")) << run.err.toStdString();
}

// A settings file edited by hand may hold values beyond the controls'
// ranges. The editor shows them clamped to the controls and renders what it
// shows; the batch tool must give the same pixels.
TEST_F(BatchTool, ValuesBeyondTheControlsRenderAsTheEditorHoldsThem) {
    const struct {
        float EditSettings::*member;
        float written;
        float held;  // what the panel's control makes of it
    } values[] = {{&EditSettings::sliderGamma, 6.f, 3.f},
                  {&EditSettings::sliderSaturation, -4.f, 0.f},
                  {&EditSettings::sliderVignetteRadius, -2.f, -0.25f},
                  {&EditSettings::sliderSwirlAngle, 40.f, 5.f},
                  {&EditSettings::stepper3DTransformM11, 25.f, 10.f},
                  {&EditSettings::sliderQuality, 250.f, 100.f}};
    EditSettings written;
    written.checkVignette = written.checkSwirl = written.check3DTransform = 1;
    written.comboFormat = 5;  // PNG: exact pixels
    EditSettings held = written;
    for (const auto& v : values) {
        written.*v.member = v.written;
        held.*v.member = v.held;
    }
    const Image source = ReadImageFile(good1).image;
    ASSERT_GT(test::MaxDifference(RenderPipeline(source, written, Image()),
                                  RenderPipeline(source, held, Image())),
              0.1f)
        << "the values beyond the ranges must change the picture for this test to tell";

    const QString outHeld = dir.filePath("held");
    BatchRun run = Batch({"--settings", WriteSettings(written), "-o", out, good1});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    run = Batch({"--settings", WriteSettings(held, "held.lumetra"), "-o", outHeld, good1});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage got = ReadImageFile(out + "/one_processed.png")
                           .image.toQImage()
                           .convertToFormat(QImage::Format_RGBA8888);
    const QImage expected = ReadImageFile(outHeld + "/one_processed.png")
                                .image.toQImage()
                                .convertToFormat(QImage::Format_RGBA8888);
    ASSERT_FALSE(got.isNull());
    EXPECT_EQ(got, expected);
}

TEST_F(BatchTool, WritesEveryFormat) {
    const QString settings = WriteSettings(EditSettings());
    const struct {
        const char* ext;
        QByteArray magic;
    } formats[] = {{"jpg", "\xFF\xD8"},        {"jpeg", "\xFF\xD8"},       {"jpe", "\xFF\xD8"},
                   {"jp2", QByteArray("\0\0\0\x0CjP", 6)}, {"jpx", QByteArray("\0\0\0\x0CjP", 6)},
                   {"png", "\x89PNG"},          {"tiff", "II*"},            {"tif", "II*"},
                   {"gif", "GIF8"},             {"bmp", "BM"},
                   {"webp", "RIFF"},            {"avif", QByteArray("\0\0\0", 3)}};
    for (const auto& f : formats) {
        const BatchRun run = Batch({"--settings", settings, "--format", f.ext, "-o", out, good1});
        ASSERT_EQ(run.status, 0) << f.ext << ": " << run.err.toStdString();
        QFile file(out + "/one_processed." + f.ext);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << f.ext;
        EXPECT_TRUE(file.read(8).startsWith(f.magic)) << f.ext;
        EXPECT_EQ(ReadImageFile(file.fileName()).image.width(), 64) << f.ext;
    }
}

TEST_F(BatchTool, GoodFilesAreWrittenAndBadOnesNamed) {
    const QString corrupt = Write("broken.jpg", "\xFF\xD8\xFF\xE0 not really a jpeg");
    EditSettings s;
    s.comboFormat = 5;
    const BatchRun run = Batch({"--settings", WriteSettings(s), "-o", out, good1, corrupt, good2});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("broken.jpg")) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(out + "/one_processed.png"));
    EXPECT_TRUE(QFile::exists(out + "/two_processed.png"));
    EXPECT_FALSE(QFile::exists(out + "/broken_processed.png"));
    EXPECT_TRUE(run.err.contains("2 of 3")) << run.err.toStdString();
}

TEST_F(BatchTool, SizeOptionsFollowKeepAspect) {
    EditSettings s;
    s.comboFormat = 5;
    const BatchRun run = Batch({"--settings", WriteSettings(s), "--width", "32", "-o", out, good1});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const ReadResult read = ReadImageFile(out + "/one_processed.png");
    EXPECT_EQ(read.image.width(), 32);
    EXPECT_EQ(read.image.height(), 20);
    s.checkKeepAspect = 0;
    const BatchRun squeezed = Batch({"--settings", WriteSettings(s), "--width", "10", "--height", "30",
                                "--overwrite", "-o", out, good1});
    ASSERT_EQ(squeezed.status, 0) << squeezed.err.toStdString();
    EXPECT_EQ(ReadImageFile(out + "/one_processed.png").image.height(), 30);
}

TEST_F(BatchTool, NeverReplacesAFileUnasked) {
    EditSettings s;
    s.comboFormat = 5;
    const QString settings = WriteSettings(s);
    QDir().mkpath(out);
    const QString existing = out + "/one_processed.png";
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mine");
    file.close();
    BatchRun run = Batch({"--settings", settings, "-o", out, good1});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("--overwrite")) << run.err.toStdString();
    EXPECT_EQ(QFile(existing).size(), 4);
    run = Batch({"--settings", settings, "--overwrite", "-o", out, good1});
    EXPECT_EQ(run.status, 0);
    EXPECT_GT(QFile(existing).size(), 4);
    // An output that is one of the inputs fails, --overwrite or not: here
    // out/one.png would be saved as out/one_processed.png, also an input.
    const QString inOut = out + "/one.png";
    ASSERT_TRUE(QFile::copy(good1, inOut));
    const QByteArray before = [&] {
        QFile f(existing);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    run = Batch({"--settings", settings, "--overwrite", "-o", out, inOut, existing});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("one of the inputs")) << run.err.toStdString();
    QFile after(existing);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

// Inputs of the same name from different folders would write one output:
// the later ones are named apart before anything is written, skipping names
// an input takes, so every result survives (--overwrite or not) and the
// summary says which were renamed. Names differing in case are different.
TEST_F(BatchTool, SameNamedInputsGetOutputsOfTheirOwn) {
    for (const char* folder : {"a", "b", "c", "out"}) ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
    const QString a = test::WriteImageFile(dir, "a/x.png", test::PhotoLike(64, 40));
    const QString b = test::WriteImageFile(dir, "b/x.png", test::PhotoLike(50, 50, true));
    const QString c = test::WriteImageFile(dir, "c/X.png", test::PhotoLike(30, 20));
    // An input standing where b's result would go next.
    const QString inOut = test::WriteImageFile(dir, "out/x_processed-2.png", test::PhotoLike(9, 9));
    const QByteArray inOutBytes = [&] {
        QFile f(inOut);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EditSettings s;
    s.comboFormat = 5;  // PNG: exact pixels
    s.checkSepia = 1;
    const BatchRun run =
        Batch({"--settings", WriteSettings(s), "--overwrite", "-o", out, a, b, c, inOut});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("4 of 4")) << run.err.toStdString();
    // The summary's list, after the progress lines (which name every output).
    const qsizetype listed = run.err.indexOf("renamed");
    ASSERT_GE(listed, 0) << run.err.toStdString();
    const QString renamedList = run.err.mid(listed);

    const struct {
        QString input;
        QString output;
        bool renamed;
    } expected[] = {{a, out + "/x_processed.png", false},
                    {b, out + "/x_processed-3.png", true},
                    {c, out + "/X_processed.png", false},
                    {inOut, out + "/x_processed-2_processed.png", false}};
    for (const auto& e : expected) {
        const ReadResult written = ReadImageFile(e.output);
        ASSERT_TRUE(written.ok()) << e.output.toStdString();
        const QImage want = RenderPipeline(ReadImageFile(e.input).image, s, Image())
                                .toQImage()
                                .convertToFormat(QImage::Format_RGBA8888);
        EXPECT_EQ(written.image.toQImage().convertToFormat(QImage::Format_RGBA8888), want)
            << e.output.toStdString();
        EXPECT_EQ(renamedList.contains(e.input + " -> " + e.output + "\n"), e.renamed)
            << e.input.toStdString() << "\n"
            << run.err.toStdString();
    }
    QFile after(inOut);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), inOutBytes);
}

// On a machine without a desktop session (ssh, cron, CI) XDG_RUNTIME_DIR is
// unset: a run still says nothing on standard error but its progress lines
// and its summary, and leaves nothing behind in the temporary folder.
TEST_F(BatchTool, HeadlessRunPrintsOnlyProgressAndSummary) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_RUNTIME_DIR", "QT_QPA_PLATFORM", "QT_LOGGING_RULES"})
        environment.remove(name);
    environment.insert("TMPDIR", temp.path());
    EditSettings s;
    s.comboFormat = 5;
    const BatchRun run =
        Batch({"--settings", WriteSettings(s), "-o", out, good1, good2}, environment);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
    const QRegularExpression progress("^\\[[12]/2\\] .+ -> .+_processed\\.png$");
    ASSERT_EQ(lines.size(), 3) << run.err.toStdString();
    for (const QString& line : lines.first(2))
        EXPECT_TRUE(progress.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(lines.last().startsWith("lumetra-batch: 2 of 2 photos written"))
        << lines.last().toStdString();
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

TEST_F(BatchTool, BadUsageAndBadPlacesAreExplained) {
    const BatchRun usage = Batch({"-o", out, good1});
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.err.contains("--settings")) << usage.err.toStdString();
    EXPECT_TRUE(usage.err.contains("Usage:"));
    EXPECT_EQ(Batch({"--settings", "x", "--quality", "0", "-o", out, good1}).status, 2);
    EXPECT_EQ(Batch({"--settings", "x", "--format", "heic", "-o", out, good1}).status, 2);

    const QString settings = WriteSettings(EditSettings());
    const QString aFile = Write("plain.txt", "text");
    const BatchRun unwritable = Batch({"--settings", settings, "-o", aFile + "/out", good1});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(unwritable.err.contains("output folder")) << unwritable.err.toStdString();

    const BatchRun badSettings = Batch({"--settings", aFile, "-o", out, good1});
    EXPECT_EQ(badSettings.status, 1);
    EXPECT_TRUE(badSettings.err.contains("not a Lumetra settings file"));
    EXPECT_EQ(Batch({"--help"}).status, 0);
}

// Each input's output under a template: {dir} relative to the base, never
// climbing out of it; the format's extension always ends the name.
TEST(OutputTemplate, ExpandsEachPlaceholderOnceInsideTheTree) {
    const struct {
        const char* pattern;
        const char* input;
        const char* expected;  // nullptr: refused
    } cases[] = {
        {"out/{dir}/{name}_processed.{ext}", "/p/a/b/x.png", "/r/out/a/b/x_processed.jpg"},
        {"out/{dir}/{name}_processed.{ext}", "/p/x.tif", "/r/out/x_processed.jpg"},
        {"{name}", "/p/a/x.y.png", "/r/x.y.jpg"},
        {"/abs/{dir}-{name}.{ext}", "/p/a/x.png", "/abs/a-x.jpg"},
        {"{name}.png", "/p/x.png", "/r/x.png.jpg"},
        {"{dir}/{name}", "/p/a/{ext}.png", "/r/a/{ext}.jpg"},
        {"{dir}/{name}", "/p/a/../../q/x.png", nullptr},
        {"{dir}/{name}", "/elsewhere/x.png", nullptr},
        {"{dir}/{name}", "/p/a/...png", nullptr},
    };
    for (const auto& c : cases) {
        QString error;
        const std::optional<QString> got =
            batch::ExpandOutputTemplate(c.pattern, c.input, "/p", "/r", "jpg", &error);
        if (c.expected) EXPECT_EQ(got.value_or("(refused: " + error + ")"), c.expected) << c.input;
        else EXPECT_FALSE(got) << c.input << " -> " << got->toStdString();
    }
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
    EXPECT_EQ(batch::PlanOutputPaths(plan, &errors),
              (QStringList{"/r/out/a/x.png", "/r/out/a/x.png", "", "/r/out/x.png",
                           "/r/out/a/x.png"}));
    const char* expected[] = {"", "also /p/a/x.jpg's", "outside the base", "", "also /p/a/x.jpg's"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(*expected[i] ? errors[i].contains(expected[i]) : errors[i].isEmpty())
            << i << ": " << errors[i].toStdString();
}

TEST(BatchJobs, OnePerCoreForManySmallPhotosElseOne) {
    const struct {
        int inputs;
        qint64 largest;
        int cores, jobs;
    } cases[] = {{200, 2'000'000, 2, 2}, {200, 2'000'000, 8, 8}, {3, 1'000'000, 8, 3},
                 {1, 2'000'000, 8, 1},   {200, 24'000'000, 8, 1}, {200, -1, 8, 1},
                 {200, 2'000'000, 1, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(batch::DefaultJobs(c.inputs, c.largest, c.cores), c.jobs)
            << c.inputs << " inputs of " << c.largest << " pixels on " << c.cores << " cores";
}

TEST(BatchOptions, ParsesEveryOption) {
    QString error;
    const auto options = batch::ParseOptions(
        {"--settings=a.lumetra", "--logo", "l.png", "--format", "TIF", "--quality", "85",
         "--width", "800", "--no-keep-exif", "--overwrite", "--jobs", "2", "-o", "out", "--",
         "-odd-name.jpg"},
        &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_EQ(options->settingsFile, "a.lumetra");
    EXPECT_EQ(options->formatIndex, 7);
    EXPECT_EQ(options->quality, 85);
    EXPECT_EQ(options->width, 800.0);
    EXPECT_FALSE(options->height);
    EXPECT_EQ(options->keepExif, false);
    EXPECT_TRUE(options->overwrite);
    EXPECT_EQ(options->jobs, 2);
    EXPECT_EQ(options->inputs, QStringList{"-odd-name.jpg"});
    for (const QStringList& bad :
         {QStringList{"--settings", "a", "-o", "o"}, QStringList{"--settings", "a", "x.jpg"},
          QStringList{"--settings", "a", "-o", "o", "--width", "-5", "x.jpg"},
          QStringList{"--settings", "a", "-o", "o", "--keep-exif", "--no-keep-exif", "x.jpg"},
          QStringList{"--settings", "a", "-o", "o", "--jobs", "0", "x.jpg"},
          QStringList{"--settings", "a", "--look", "b", "-o", "o", "x.jpg"},
          QStringList{"--settings", "a", "--base", "b", "-o", "o", "x.jpg"},
          QStringList{"--settings", "a", "--output-template", "{dir}/x", "x.jpg"},
          QStringList{"--bogus"}})
        EXPECT_FALSE(batch::ParseOptions(bad, &error)) << bad.join(' ').toStdString();
}

}  // namespace
}  // namespace lumetra
