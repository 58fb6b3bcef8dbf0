#pragma once

#include <QDir>
#include <QImage>
#include <QWidget>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace testsupport {

// The widget as painted now. When KV60X_GRAB_DIR is set the picture is also
// saved there as <name>.png, to look at by eye.
inline QImage Grab(QWidget* w, const QString& name) {
    const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString dir = qEnvironmentVariable("KV60X_GRAB_DIR");
    if (!dir.isEmpty()) img.save(QDir(dir).filePath(name + QStringLiteral(".png")));
    return img;
}

// Number of pixels of colour c inside r.
inline int CountColor(const QImage& img, const QRect& r, const QColor& c) {
    int n = 0;
    const QRect box = r.intersected(img.rect());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (img.pixelColor(x, y).rgb() == c.rgb()) ++n;
    return n;
}

}  // namespace testsupport
