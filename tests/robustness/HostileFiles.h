// SPDX-License-Identifier: GPL-3.0-or-later
// Files made to hurt a picture reader, generated on the spot: sound files of
// every format cut short, files whose content is not what their name says,
// empty files, headers that claim gigapixels, broken Exif blocks, a GIF
// with no picture, things that are not files at all, a file nobody may
// read.
#pragma once

#include <QSize>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace lumetra::test {

// What Lumetra must make of a hostile file.
enum class Outcome {
    Refused,  // "could not be loaded", drop refused, batch failure
    Damaged,  // opens with what could be decoded, and says the file is damaged
    Opens,    // a sound picture: opens as usual
    // A file cut short whose decoder may stop at the cut (refused) or give
    // what it decoded (damaged); it is never taken for a sound picture.
    RefusedOrDamaged,
};

struct HostileFile {
    std::string label;  // names the test case
    QString fileName;   // the name it is given, extension included
    // Puts the file at path; false when it could not be made.
    std::function<bool(const QString& path)> make;
    Outcome outcome;
    QSize size;  // for Opens: the upright size expected (empty: unchecked)
    // What the header probe (and so a drop) makes of it. A file that reads
    // has a sound header, and so has, often, a file whose data is what is
    // damaged; a cut may take the header away too.
    enum class Header {
        AsReading,  // taken unless the outcome is Refused
        Sound,      // taken: reading fails behind a sound header
        Broken,     // refused: the cut took the header (a TIFF's directory is at its end)
    } header = Header::AsReading;
};

std::vector<HostileFile> HostileCorpus();

// A sound file of each format the corpus cuts: "jpg", "progressive.jpg",
// "png", "tif", "gif", "bmp", "jp2", "webp", "avif", "heic", "jxl", "dng";
// all but the raw file show the same 96 x 64 picture.
QByteArray SoundFile(const QString& kind);

}  // namespace lumetra::test
