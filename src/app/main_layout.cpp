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

bool WindowRectHasSize(const WindowRect& r) {
    const long long w = static_cast<long long>(r.right) - r.left;
    const long long h = static_cast<long long>(r.bottom) - r.top;
    return w > 0 && h > 0 && w <= kMaxWindowExtent && h <= kMaxWindowExtent;
}

WindowRect WindowRectOnScreens(const WindowRect& r, const QList<QRect>& screens,
                               const WindowRect& fallback) {
    if (!WindowRectHasSize(r)) return fallback;
    // In 64 bits: a rectangle near the ends of the int range must not wrap.
    for (const QRect& s : screens) {
        const long long left = std::max<long long>(r.left, s.left());
        const long long right =
            std::min<long long>(r.right, static_cast<long long>(s.left()) + s.width());
        const long long top = std::max<long long>(r.top, s.top());
        const long long bottom =
            std::min<long long>(r.bottom, static_cast<long long>(s.top()) + s.height());
        if (right > left && bottom > top) return r;
    }
    return fallback;
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
