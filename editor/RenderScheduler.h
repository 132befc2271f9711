// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduling of render passes: at most one runs at a time, on one
// worker thread; requests that arrive while it runs are merged into one
// further pass, which starts when the running one comes back, and the
// result of a pass that was overtaken (or put away by New) is never shown.
// It knows nothing of widgets: it asks its owner for a pass's inputs when
// the pass starts, and hands the result back on the owner's thread.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "files/RenderJob.h"
#include "editor/RenderWorker.h"
#include "editor/WakeUp.h"
#include "render/Image.h"
#include "settings/EditSettings.h"

namespace lumetra {

// What one pass reads: the source file, the settings as they were when the
// pass started, the logo, and the function that does the work.
struct RenderInputs {
    using RenderFunction =
        std::function<RenderResult(const QString& path, const EditSettings&, const Image& logo)>;
    RenderFunction render;
    QString path;
    EditSettings settings;
    Image logo;
};

struct RenderHandOver;

class RenderScheduler : public QObject {
    Q_OBJECT
public:
    // `gather` gives the inputs of a pass that is about to start, or nothing
    // when there is nothing to render (no picture is open). It is called on
    // the owner's thread, at every start.
    using Gather = std::function<std::optional<RenderInputs>()>;
    explicit RenderScheduler(Gather gather, QObject* parent = nullptr);
    // Waits for a running pass to come back and ends the worker thread.
    ~RenderScheduler() override;

    // A pass is wanted: starts one when none runs (true when it did), or
    // owes one more when one runs.
    void Request();
    // A pass runs (from its start until its completion begins).
    bool updating() const { return updating_; }
    // A request arrived while the pass ran: one more pass is owed.
    bool selectionChanged() const { return selectionChanged_; }
    // The running pass's picture belongs to what was just put away: it is
    // not to be shown when it comes back.
    void DiscardRunning();

signals:
    // A pass has been handed to the worker.
    void passStarted();
    // A pass has come back. `shown` is false when its result is not to be
    // shown: another pass was owed (and has started, unless there was
    // nothing to render) or it was discarded.
    void passFinished(const RenderResult& result, bool shown);

private:
    void OnWorkerDone();

    Gather gather_;
    bool updating_ = false;
    bool selectionChanged_ = false;
    bool discard_ = false;
    std::shared_ptr<RenderHandOver> handOver_;
    WakeUp done_;
    RenderWorker worker_;
};

}  // namespace lumetra
