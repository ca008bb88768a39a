#pragma once

#include <QImage>
#include <QRect>
#include <functional>

// Small questions asked of rendered pictures.
namespace probe {

using PixelTest = std::function<bool(QRgb)>;

inline int count(const QImage& img, const PixelTest& test) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += test(img.pixel(x, y)) ? 1 : 0;
    return n;
}

// Smallest rectangle holding every pixel that passes; null when none does.
inline QRect bounds(const QImage& img, const PixelTest& test) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (test(img.pixel(x, y)))
                r = r.united(QRect(x, y, 1, 1));
    return r;
}

inline bool near(QRgb c, int r, int g, int b, int tolerance = 12) {
    return std::abs(qRed(c) - r) <= tolerance && std::abs(qGreen(c) - g) <= tolerance &&
           std::abs(qBlue(c) - b) <= tolerance;
}

inline bool greyish(QRgb c, int tolerance = 12) {
    return std::abs(qRed(c) - qGreen(c)) <= tolerance && std::abs(qGreen(c) - qBlue(c)) <= tolerance;
}

} // namespace probe
