#include "image_probe.h"
#include "widgets/blended.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace cadcons;

namespace {

struct Picture {
    const char* name;
    QPixmap (*draw)();
    QSize size;
    QColor ink; // the colour of its solid strokes
};

const Picture kPictures[] = {
    {"checkMark", glyphs::checkMark, {43, 29}, QColor(34, 177, 76)},
    {"backspace", glyphs::backspace, {34, 34}, Qt::white},
    {"clearField", glyphs::clearField, {34, 34}, Qt::white},
    {"exitDoor", glyphs::exitDoor, {34, 34}, Qt::white},
    {"confirm", glyphs::confirm, {34, 34}, Qt::white},
    {"fingerprint", glyphs::fingerprint, {34, 34}, Qt::white},
};

QImage imageOf(const Picture& p) {
    return p.draw().toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(Glyphs, SizeTransparencyAndInk) {
    for (const Picture& p : kPictures) {
        SCOPED_TRACE(p.name);
        const QImage img = imageOf(p);
        ASSERT_EQ(img.size(), p.size);
        const int area = img.width() * img.height();
        const int solid = probe::count(img, [](QRgb c) { return qAlpha(c) > 200; });
        const int clear = probe::count(img, [](QRgb c) { return qAlpha(c) == 0; });
        const int soft = probe::count(img, [](QRgb c) { return qAlpha(c) > 0 && qAlpha(c) < 255; });
        EXPECT_GT(solid, area / 20) << "too little drawn";
        EXPECT_GT(clear, area / 3) << "the background must stay transparent";
        EXPECT_GT(soft, 0) << "edges are antialiased";
        EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);

        // The average colour of the fully drawn pixels is the picture's ink.
        qint64 r = 0, g = 0, b = 0, n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) == 255) {
                    r += qRed(img.pixel(x, y));
                    g += qGreen(img.pixel(x, y));
                    b += qBlue(img.pixel(x, y));
                    ++n;
                }
        ASSERT_GT(n, 0);
        EXPECT_NEAR(double(r) / n, p.ink.red(), 20);
        EXPECT_NEAR(double(g) / n, p.ink.green(), 20);
        EXPECT_NEAR(double(b) / n, p.ink.blue(), 20);

        // Kept for a look at them beside the test program.
        p.draw().save(QCoreApplication::applicationDirPath() + QStringLiteral("/glyph_%1.png").arg(p.name));
    }
}

TEST(Glyphs, EveryPictureIsItsOwn) {
    for (const Picture& a : kPictures)
        for (const Picture& b : kPictures)
            if (&a < &b && a.size == b.size) {
                EXPECT_NE(imageOf(a), imageOf(b)) << a.name << " and " << b.name;
            }
}

} // namespace
