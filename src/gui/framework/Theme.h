// The panel's look: one style sheet for the whole window, the palette of state colours
// and the sizes every touch target respects.
#pragma once

#include <QColor>
#include <QString>

namespace Theme {
// Colours of the dark, high-contrast panel look.
inline const QColor Background{0x12, 0x16, 0x1a};
inline const QColor Panel{0x1d, 0x24, 0x2b};
inline const QColor Raised{0x27, 0x31, 0x3b};
inline const QColor Border{0x3a, 0x47, 0x54};
inline const QColor Text{0xf2, 0xf5, 0xf7};
inline const QColor Muted{0x9a, 0xa8, 0xb4};
inline const QColor Accent{0x2f, 0x8f, 0xe8};
inline const QColor Ok{0x2e, 0xb8, 0x5c};
inline const QColor Ng{0xe2, 0x3d, 0x3d};
inline const QColor Warn{0xf2, 0xa7, 0x1b};
inline const QColor Idle{0x7d, 0x8b, 0x97};

constexpr int TouchMin = 56; // smallest edge of anything pressed with a finger
constexpr int StatusBarHeight = 40;
constexpr int SwipeStripHeight = 50;
constexpr int ScreenWidth = 1280;
constexpr int ScreenHeight = 800;

// The style sheet of the root window (fonts come from fontconfig: DejaVu Sans).
QString StyleSheet();
// Colour of a message title ("Error" red, "Warning" amber, "Success" green, else accent).
QColor TitleColor(const QString& title);
} // namespace Theme
