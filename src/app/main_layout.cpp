#include "app/main_layout.h"

#include <algorithm>

WindowRect ClampWindowRect(WindowRect r, int screenWidth, int screenHeight) {
    if (r.right > screenWidth + 10) {
        const int shift = r.right - screenWidth;
        r.left -= shift;
        r.right -= shift;
    }
    if (r.bottom > screenHeight + 10) {
        const int shift = r.bottom - screenHeight;
        r.top -= shift;
        r.bottom -= shift;
    }
    if (r.top < -10) r.top = 0;
    if (r.left < -10) r.left = 0;
    return r;
}

int ClampBorder(int frameWidth) {
    return std::clamp(frameWidth, 6, 20);
}

MainLayout ComputeMainLayout(int cx, int cy, int statusLineHeight, bool serviceLineShown, int b,
                             int serviceLabelWidth) {
    const int labelWidth = std::max(90, serviceLabelWidth);
    MainLayout l;
    l.icon = RectLTRB(b, b, b + 24, b + 24);
    const int iconBottom = b + 24;
    const int iconCentre = b + 12;
    l.statusText = RectLTRB(b + 24 + b / 2, iconCentre - statusLineHeight / 2, cx - b,
                            iconCentre + statusLineHeight / 2);
    const int labelTop = iconBottom + b;
    const int labelBottom = labelTop + static_cast<int>(2.2 * statusLineHeight);
    l.serviceLabel = RectLTRB(b, labelTop, b + labelWidth, labelBottom);
    l.serviceText = RectLTRB(b + labelWidth + b, labelTop, cx - b, labelBottom);
    const int valueTop = serviceLineShown ? labelBottom + b : iconBottom + b;
    l.valueDisplay = RectLTRB(b, valueTop, cx - b, cy - b);
    return l;
}
