#pragma once

#include <QFont>
#include <QString>

// The part of the platform's logical-font record that the program keeps for the
// value display and stores in kv60x.ini (height, weight, italic, face name) plus
// the character set. Other fields of the record have no meaning here.
//
// Mapping to QFont:
//  - height < 0: character height in pixels -> pixel size -height;
//  - height > 0: cell height in pixels; Qt has no cell-height setting, so the
//    pixel size is taken as the height itself (slightly larger glyphs than the
//    platform would draw, which is harmless for a display font);
//  - height 0: the application's default font size;
//  - weight 0: the default weight (QFont::Normal); 1..1000 go to Qt 6's weight,
//    which uses the same 100 (thin) .. 400 (normal) .. 700 (bold) .. 900 scale;
//  - the character set is kept for the configuration; Qt picks glyphs by itself.
struct FontDesc {
    static constexpr int kMaxFaceNameLength = 31;
    static constexpr int kCentralEuropeanCharSet = 238;

    int height = 0;
    int weight = 0;
    bool italic = false;
    QString faceName;
    int charSet = kCentralEuropeanCharSet;

    // Sets the face name, cut to kMaxFaceNameLength characters.
    void setFaceName(const QString& name);

    QFont toQFont() const;
    // The description of a font chosen in a picker. The height comes out negative
    // (pixels); a point-sized font is converted with the screen's resolution.
    // charSet is carried over, as Qt does not report one.
    static FontDesc fromQFont(const QFont& font, int charSet = kCentralEuropeanCharSet);

    bool operator==(const FontDesc& o) const {
        return height == o.height && weight == o.weight && italic == o.italic &&
               faceName == o.faceName && charSet == o.charSet;
    }
    bool operator!=(const FontDesc& o) const { return !(*this == o); }
};
