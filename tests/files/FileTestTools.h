// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the file tests: files as bytes, folder listings, outside
// tools, a picture that shows its orientation, and a file size limit that
// holds even for root.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace lumetra::test {

QByteArray ReadBytes(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);

// Every entry of a folder (hidden ones too), sorted.
QStringList FolderEntries(const QString& dir);

// Runs a program and returns its standard output; *ok tells whether it
// started and exited with status 0.
QByteArray RunTool(const QString& program, const QStringList& arguments, bool* ok);

// The picture as ImageMagick decodes it, straight RGBA at 8 bits (null
// when it cannot): a reader independent of Qt's.
QImage DecodeWithImageMagick(const QString& path);

// What ImageMagick's identify says: "<format> <width> <height>".
QString Identify(const QString& path);

// A picture decoded by Qt (or by our decoder for JPEG 2000), as stored: not
// turned by any orientation.
QImage DecodeFile(const QString& path);

// libjpeg's compressor writing a picture of four bytes a pixel in one piece,
// with the standard tables: RGBX, or CMYK inverted with the Adobe marker
// as print software writes it.
QByteArray EncodeWithLibjpeg(const QImage& picture, bool cmyk, int quality,
                             unsigned restartInterval = 0);

// The largest difference of a channel between two pictures of one size,
// alpha included when asked.
int LargestDifference(const QImage& a, const QImage& b, bool alpha);

// A JPEG photo whose Exif block names the camera that took it.
QByteArray CameraJpeg(const QByteArray& make);

// A picture stored on its side, 64 x 32: blue with a red top-left quarter.
QImage StoredOnItsSide(bool deep = false);

// Which quarter of the picture is red: 0 top-left, 1 top-right, 2
// bottom-left, 3 bottom-right; -1 when none is.
int RedQuarter(const QImage& picture);

// While alive, the process may write no file beyond maxBytes; writes past
// it fail with EFBIG instead of killing the process. Root is bound too.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(long long maxBytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    unsigned long long oldSoft_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

// Captures what the process writes on standard output while alive.
class StdoutCapture {
  public:
    StdoutCapture();
    ~StdoutCapture();
    QString Finish();  // restores standard output, returns what was written

  private:
    int saved_ = -1;
    QString path_;
};

}  // namespace lumetra::test
