#pragma once

#include <QRect>
#include <QString>
#include <functional>

class QIODevice;
class QPainter;

enum class PictureFormat { Png, Pdf };

// Draws a picture of the given size through draw() and writes it to out as a
// PNG image or as a one-page PDF of the same size. False when nothing could be
// written.
bool WritePicture(QIODevice& out, PictureFormat format, QSize size, const QString& title,
                  const std::function<void(QPainter&, const QRect&)>& draw);
