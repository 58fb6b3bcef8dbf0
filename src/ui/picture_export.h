#pragma once

#include <QRect>
#include <QString>
#include <functional>

class QIODevice;
struct FileError;
class QPainter;

enum class PictureFormat { Png, Pdf };

// Draws a picture of the given size through draw() and writes it to out as a
// PNG image or as a one-page PDF of the same size. False when nothing could be
// written.
bool WritePicture(QIODevice& out, PictureFormat format, QSize size, const QString& title,
                  const std::function<void(QPainter&, const QRect&)>& draw);

// Puts at `path` what `write` writes to a device (a picture, a table of data),
// whole or not at all (WriteFileAtomically): false when `write` fails or the
// file cannot be written, and the file that was there stays as it was.
bool SaveWritten(const QString& path, const std::function<bool(QIODevice&)>& write,
                 FileError* error = nullptr);
