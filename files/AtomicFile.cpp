// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/AtomicFile.h"

#include <QSaveFile>

namespace lumetra {

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    const auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (path.isEmpty()) return fail(QStringLiteral("No file name was given."));
    if (data.isEmpty()) return fail(QStringLiteral("There is nothing to write."));
    // QSaveFile writes to a temporary file beside the destination and renames
    // it over the destination on commit; without a commit (or when the
    // commit fails) the temporary file is deleted and the destination is
    // never touched. Writing straight into the destination when no
    // temporary file can be made is left off, as that is what could lose
    // the user's file.
    //
    // Unbuffered, so that a short write (a full disk, a file size limit)
    // shows in write()'s count: a buffered QSaveFile only meets it while
    // flushing inside commit(), which then renames the cut file into place.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
    if (file.write(data) != data.size() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}

}  // namespace lumetra
