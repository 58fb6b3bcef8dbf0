#pragma once

#include <QList>
#include <QRect>

// Geometry of the main window, as pure functions (no widgets).
//
// Rectangles are given as (left, top, right, bottom) with right and bottom just
// outside, like a window rectangle; RectLTRB turns them into a QRect.

inline QRect RectLTRB(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// The window rectangle kept in the configuration: outer screen rectangle of the
// restored window.
struct WindowRect {
    int left = 100;
    int top = 100;
    int right = 700;
    int bottom = 500;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const WindowRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Pulls a window rectangle lying off a screen of screenWidth x screenHeight back
// before it is stored: right beyond W+10 shifts it left so that right = W; bottom
// beyond H+10 shifts it up so that bottom = H; then top < -10 becomes 0 and
// left < -10 becomes 0 (the opposite edge stays).
WindowRect ClampWindowRect(WindowRect r, int screenWidth, int screenHeight);

// The largest width or height of a window rectangle taken from the
// configuration (no screen comes near it).
constexpr int kMaxWindowExtent = 65535;

// Whether a stored rectangle describes a window at all: width and height
// positive (computed without overflow) and at most kMaxWindowExtent.
bool WindowRectHasSize(const WindowRect& r);

// The rectangle the window takes at start: `r` when it has a size and a part of
// positive width and height lies on one of `screens`; otherwise `fallback`.
WindowRect WindowRectOnScreens(const WindowRect& r, const QList<QRect>& screens,
                               const WindowRect& fallback);

// The border around the controls: the platform's dialog frame width, 6..20.
int ClampBorder(int frameWidth);

struct MainLayout {
    QRect icon;          // status icon, 24 x 24
    QRect statusText;    // status text box, right of the icon
    QRect serviceLabel;  // "Dane serwisowe:"
    QRect serviceText;   // the service data box
    QRect valueDisplay;  // the value display, filling the rest
};

// The controls of the main window for a client area of clientWidth x
// clientHeight (below the menu), a status text box statusLineHeight high, with
// or without the service data line. The service data label is 90 pixels wide,
// or as wide as its text needs when the font is larger (serviceLabelWidth).
MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int statusLineHeight,
                             bool serviceLineShown, int border, int serviceLabelWidth = 90);
