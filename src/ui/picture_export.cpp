#include "ui/picture_export.h"

#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "files/safe_file.h"

namespace {
constexpr int kPdfDpi = 96;  // one picture pixel is one screen pixel on the page
}

bool WritePicture(QIODevice& out, PictureFormat format, QSize size, const QString& title,
                  const std::function<void(QPainter&, const QRect&)>& draw) {
    if (size.isEmpty()) return false;
    const QRect area(QPoint(0, 0), size);
    if (format == PictureFormat::Png) {
        QImage image(size, QImage::Format_RGB32);
        {
            QPainter p(&image);
            draw(p, area);
        }
        return image.save(&out, "PNG");
    }
    QPdfWriter writer(&out);
    writer.setResolution(kPdfDpi);
    writer.setCreator(QStringLiteral("kv60x"));
    writer.setTitle(title);
    const QSizeF points = QSizeF(size) * 72.0 / kPdfDpi;
    writer.setPageLayout(
        QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter p;
    if (!p.begin(&writer)) return false;
    draw(p, area);
    return p.end();
}

bool SaveWritten(const QString& path, const std::function<bool(QIODevice&)>& write,
                 FileError* error) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!write(buffer)) {
        if (error) *error = FileError{FileError::Kind::Write, 0, 0};
        return false;
    }
    return WriteFileAtomically(path, buffer.data(), error);
}
