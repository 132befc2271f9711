// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduling of render work on one worker thread. Every request renders
// a preview of the reduced copy of the photo first, when there is one, and
// then the full-resolution pass:
// - at most one preview renders at a time; requests that arrive meanwhile
//   replace each other, and the newest is rendered next;
// - at most one full pass runs at a time; a request that arrives while it
//   runs stops it at its next stage or band (its result would be dropped
//   anyway), the newest preview renders with every core, and one more full
//   pass follows; the result of a pass that was overtaken, stopped or put
//   away (New) is never shown.
// It knows nothing of widgets: it asks its owner for a pass's inputs when
// the pass starts, and hands results back on the owner's thread.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "editor/RenderWorker.h"
#include "editor/WakeUp.h"
#include "files/RenderJob.h"
#include "render/Image.h"
#include "settings/EditSettings.h"

namespace lumetra {

// What one pass reads: the source file, the settings as they were when the
// pass started, the logo, and the function that does the work.
struct RenderInputs {
    // A full-resolution pass: reads the file and runs the pipeline. It runs
    // with the worker's stop request (StopRequested()) set by the scheduler.
    using RenderFunction =
        std::function<RenderResult(const QString& path, const EditSettings&, const Image& logo)>;
    RenderFunction render;
    QString path;
    EditSettings settings;
    Image logo;
};

// The reduced copy of the photo that previews are rendered from, and its
// scale (its width over the photo's).
struct PreviewSource {
    Image picture;
    double scale = 1.0;
    bool ok() const { return !picture.isEmpty() && scale > 0.0 && scale < 1.0; }
};

struct RenderHandOver;

class RenderScheduler : public QObject {
    Q_OBJECT
  public:
    // `gather` gives the inputs of a pass that is about to start, or nothing
    // when there is nothing to render (no picture is open). It is called on
    // the owner's thread, at every start, preview or full.
    using Gather = std::function<std::optional<RenderInputs>()>;
    // Renders a preview of the reduced copy (tests replace it).
    using PreviewFunction =
        std::function<RenderResult(const PreviewSource&, const EditSettings&, const Image& logo)>;
    explicit RenderScheduler(Gather gather, QObject* parent = nullptr);
    // Stops a running pass, waits for it and ends the worker thread.
    ~RenderScheduler() override;

    // Something changed: a preview (when there is a reduced copy) and a
    // full pass are wanted.
    void Request();
    // The reduced copy of the photo now open; an empty one (a photo no
    // larger than the screen, or one whose reduced copy could not be made)
    // means every request renders the full pass only. `thumbnails` is the
    // photo at thumbnail size (kThumbnailWidth wide), with its own scale.
    void SetPreviewSource(PreviewSource source, PreviewSource thumbnails = {});
    const PreviewSource& previewSource() const { return preview_; }
    void setPreviewFunction(PreviewFunction function) { previewFunction_ = std::move(function); }

    // A full pass runs or is owed: the full result of the latest request
    // has not come yet.
    bool updating() const { return fullWanted_ || running_ == Job::Full; }
    // A request arrived while a full pass ran: that pass's result will be
    // dropped and one more pass follows.
    bool selectionChanged() const { return running_ == Job::Full && fullWanted_; }
    // A full pass is on the worker right now.
    bool fullPassRunning() const { return running_ == Job::Full; }
    // Whatever runs belongs to a picture that was just put away (New):
    // nothing of it is shown, nothing more is rendered, the reduced copy
    // and the thumbnails still to come go.
    void DiscardRunning();

    // A small picture of the open photo rendered with other settings (a
    // look), from its thumbnail-sized copy, when the
    // worker has nothing else to do: previews and full passes go first, so
    // a request waits for one thumbnail at most. Thumbnails asked for a
    // photo that has since been put away never come. `key` comes back with
    // the picture; asking again for a key replaces its waiting request.
    void RequestThumbnail(const QString& key, const EditSettings& settings, const Image& logo);
    // The thumbnails' width in pixels.
    static constexpr int kThumbnailWidth = 160;

  signals:
    // A full pass has been handed to the worker.
    void passStarted();
    // A full pass has come back. `shown` is false when its result is not to
    // be shown: it was overtaken (another pass is owed, and has started
    // unless there was nothing to render), stopped or discarded.
    void passFinished(const RenderResult& result, bool shown);
    // A preview has come back and is to be shown (a full pass follows).
    void previewReady(const RenderResult& result);
    // A thumbnail has come back.
    void thumbnailReady(const QString& key, const QImage& picture);

  private:
    enum class Job { None, Preview, Full, Thumbnail };
    struct ThumbnailRequest {
        QString key;
        EditSettings settings;
        Image logo;
    };
    void StartNext();
    void StartThumbnail();
    void OnWorkerDone();

    Gather gather_;
    PreviewFunction previewFunction_;
    PreviewSource preview_;
    PreviewSource thumbnailSource_;             // the reduced copy reduced to thumbnail width
    std::vector<ThumbnailRequest> thumbnails_;  // waiting, oldest first
    QString runningThumbnail_;
    Job running_ = Job::None;
    bool previewWanted_ = false;
    bool fullWanted_ = false;
    bool discard_ = false;
    std::shared_ptr<RenderHandOver> handOver_;
    WakeUp done_;
    RenderWorker worker_;
};

// The default preview: the pipeline on the reduced copy, every pixel
// measure scaled by the copy's scale.
RenderResult RenderPreview(const PreviewSource& source, const EditSettings& settings,
                           const Image& logo);

}  // namespace lumetra
