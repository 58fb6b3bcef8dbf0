#include "ui/font_desc.h"

#include <QFontInfo>
#include <algorithm>
#include <cstdlib>

void FontDesc::setFaceName(const QString& name) {
    faceName = name.left(kMaxFaceNameLength);
}

QFont FontDesc::toQFont() const {
    QFont f;
    if (!faceName.isEmpty()) f.setFamily(faceName);
    // In 64 bits: the magnitude of INT_MIN does not fit an int.
    if (height != 0)
        f.setPixelSize(static_cast<int>(std::min<long long>(std::llabs(height), 0xFFFF)));
    f.setWeight(weight == 0 ? QFont::Normal : QFont::Weight(std::clamp(weight, 1, 1000)));
    f.setItalic(italic);
    return f;
}

FontDesc FontDesc::fromQFont(const QFont& font, int charSet) {
    FontDesc d;
    int px = font.pixelSize();
    if (px <= 0) px = QFontInfo(font).pixelSize();
    d.height = px > 0 ? -px : 0;
    d.weight = font.weight();
    d.italic = font.italic();
    d.setFaceName(font.family());
    d.charSet = charSet;
    return d;
}
