#include "image_probe.h"
#include "widgets/blended.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace cadcons;

namespace {

// Either widget, behind one face, so the click rules are checked once for both.
struct Clickable {
    const char* name;
    std::function<QWidget*()> make;
};

const Clickable kClickables[] = {
    {"TBlendedShape", [] { return static_cast<QWidget*>(new TBlendedShape); }},
    {"TBlendedBitBtn", [] { return static_cast<QWidget*>(new TBlendedBitBtn); }},
};

struct Gesture {
    const char* name;
    std::function<void(QWidget*)> act;
    int clicks;
};

const QPoint kInside(30, 20);
const QPoint kOutside(90, 20);

const Gesture kGestures[] = {
    {"press and release inside", [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, kInside); }, 1},
    {"press inside, release outside",
     [](QWidget* w) {
         QTest::mousePress(w, Qt::LeftButton, {}, kInside);
         QTest::mouseRelease(w, Qt::LeftButton, {}, kOutside);
     },
     0},
    {"slide out and back in before release",
     [](QWidget* w) {
         QTest::mousePress(w, Qt::LeftButton, {}, kInside);
         QTest::mouseMove(w, kOutside);
         QTest::mouseMove(w, kInside + QPoint(5, 5));
         QTest::mouseRelease(w, Qt::LeftButton, {}, kInside + QPoint(5, 5));
     },
     1},
    {"release without a press", [](QWidget* w) { QTest::mouseRelease(w, Qt::LeftButton, {}, kInside); }, 0},
    {"right button", [](QWidget* w) { QTest::mouseClick(w, Qt::RightButton, {}, kInside); }, 0},
    {"two clicks",
     [](QWidget* w) {
         QTest::mouseClick(w, Qt::LeftButton, {}, kInside);
         QTest::mouseClick(w, Qt::LeftButton, {}, kInside);
     },
     2},
    {"disabled",
     [](QWidget* w) {
         w->setEnabled(false);
         QTest::mouseClick(w, Qt::LeftButton, {}, kInside);
     },
     0},
};

TEST(BlendedWidgets, ClickNeedsPressAndReleaseInside) {
    for (const Clickable& kind : kClickables) {
        for (const Gesture& g : kGestures) {
            SCOPED_TRACE(std::string(kind.name) + ": " + g.name);
            std::unique_ptr<QWidget> w(kind.make());
            w->resize(60, 48);
            w->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
            QSignalSpy spy(w.get(), SIGNAL(clicked()));
            g.act(w.get());
            EXPECT_EQ(spy.count(), g.clicks);
        }
    }
}

TEST(BlendedWidgets, NeverTakeFocus) {
    for (const Clickable& kind : kClickables) {
        SCOPED_TRACE(kind.name);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* edit = new QLineEdit(&window);
        QWidget* w = kind.make();
        w->setFixedSize(60, 48);
        layout->addWidget(edit);
        layout->addWidget(w);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        edit->setFocus();
        QTest::mouseClick(w, Qt::LeftButton, {}, kInside);
        EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
        EXPECT_FALSE(w->hasFocus());
        EXPECT_EQ(window.focusWidget(), edit);
    }
}

TEST(TBlendedBitBtn, ClickFromCodeEmitsOnlyWhenEnabled) {
    TBlendedBitBtn key;
    QSignalSpy spy(&key, &TBlendedBitBtn::clicked);
    key.click();
    EXPECT_EQ(spy.count(), 1);
    key.setEnabled(false);
    key.click();
    EXPECT_EQ(spy.count(), 1);
}

QImage grabbed(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(TBlendedBitBtn, PressedKeyIsDrawnInTheSystemTextColours) {
    TBlendedBitBtn key;
    key.resize(60, 48);
    key.setCaption(QStringLiteral("W"));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(28);
    f.setBold(true);
    key.setFont(f);
    // A caption colour that nothing else draws, to tell the pressed caption apart.
    QPalette pal = key.palette();
    pal.setColor(QPalette::Base, QColor(255, 0, 0));
    key.setPalette(pal);
    key.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&key));

    const QPoint face(4, 24);
    auto red = [](QRgb c) { return probe::near(c, 255, 0, 0, 40); };
    auto white = [](QRgb c) { return probe::near(c, 255, 255, 255, 10); };

    QImage up = grabbed(key);
    EXPECT_TRUE(probe::near(up.pixel(face), 128, 128, 128, 2));
    EXPECT_GT(probe::count(up, white), 20);
    EXPECT_EQ(probe::count(up, red), 0);

    QTest::mousePress(&key, Qt::LeftButton, {}, kInside);
    EXPECT_TRUE(key.isDown());
    QImage down = grabbed(key);
    EXPECT_TRUE(probe::near(down.pixel(face), 0, 0, 0, 2));
    EXPECT_GT(probe::count(down, red), 20);

    QTest::mouseMove(&key, kOutside);
    EXPECT_FALSE(key.isDown());
    EXPECT_TRUE(probe::near(grabbed(key).pixel(face), 128, 128, 128, 2));

    QTest::mouseMove(&key, kInside);
    QTest::mouseRelease(&key, Qt::LeftButton, {}, kInside);
    EXPECT_FALSE(key.isDown());
    EXPECT_TRUE(probe::near(grabbed(key).pixel(face), 128, 128, 128, 2));
}

TEST(TBlendedBitBtn, KeyThatDisappearsWhileHeldComesUp) {
    TBlendedBitBtn key;
    key.resize(60, 48);
    key.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&key));
    QSignalSpy spy(&key, &TBlendedBitBtn::clicked);
    QTest::mousePress(&key, Qt::LeftButton, {}, kInside);
    key.hide();
    EXPECT_FALSE(key.isDown());
    key.show();
    QTest::mouseRelease(&key, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(spy.count(), 0);
}

QPixmap solid(const QColor& c, int side) {
    QPixmap pm(side, side);
    pm.fill(c);
    return pm;
}

auto isBlue = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; };
// Brighter than the window behind a grabbed widget, so only the caption counts.
auto isWhite = [](QRgb c) { return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245; };

TEST(TBlendedBitBtn, GlyphSitsRightOfTheCaptionOrInTheMiddle) {
    TBlendedBitBtn key;
    key.resize(124, 48);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    key.setFont(f);
    key.setGlyph(solid(Qt::blue, 12));
    key.setCaption(QStringLiteral("Cap. Digital"));
    QImage both = grabbed(key);
    const QRect text = probe::bounds(both, isWhite);
    const QRect glyph = probe::bounds(both, isBlue);
    ASSERT_FALSE(text.isNull());
    ASSERT_EQ(glyph.size(), QSize(12, 12));
    EXPECT_GT(glyph.left(), text.right());
    // The pair as a whole is centred.
    const int leftMargin = text.left();
    const int rightMargin = key.width() - 1 - glyph.right();
    EXPECT_LE(std::abs(leftMargin - rightMargin), 3);

    key.setCaption(QString());
    const QRect alone = probe::bounds(grabbed(key), isBlue);
    EXPECT_LE(std::abs(alone.center().x() - key.rect().center().x()), 1);
    EXPECT_LE(std::abs(alone.center().y() - key.rect().center().y()), 1);
}

TEST(TBlendedBitBtn, DisabledKeyGreysItsGlyphAndCaption) {
    TBlendedBitBtn key;
    key.resize(64, 48);
    key.setGlyph(solid(Qt::blue, 20));
    key.setCaption(QStringLiteral("X"));
    QImage on = grabbed(key);
    EXPECT_GT(probe::count(on, isBlue), 300);
    EXPECT_GT(probe::count(on, isWhite), 0);

    key.setEnabled(false);
    QImage off = grabbed(key);
    EXPECT_EQ(probe::count(off, isBlue), 0);
    EXPECT_EQ(probe::count(off, isWhite), 0);
    const QRect glyphArea = probe::bounds(on, isBlue);
    EXPECT_TRUE(probe::greyish(off.pixel(glyphArea.center())));
}

TEST(TBlendedShape, FillsARoundedRectangleWithItsBrush) {
    TBlendedShape shape;
    shape.resize(80, 30);
    shape.setBrushColor(QColor(128, 128, 128));
    QImage img = grabbed(shape);
    EXPECT_TRUE(probe::near(img.pixel(40, 15), 128, 128, 128, 1));
    EXPECT_TRUE(probe::near(img.pixel(40, 0), 128, 128, 128, 1));  // straight edges reach the border
    EXPECT_FALSE(probe::near(img.pixel(0, 0), 128, 128, 128, 20)); // the corner is cut off

    shape.setBrushColor(Qt::white);
    EXPECT_EQ(shape.brushColor(), QColor(Qt::white));
    EXPECT_TRUE(probe::near(grabbed(shape).pixel(40, 15), 255, 255, 255, 1));
}

TEST(ColorFromBgr, ReadsBlueGreenRed) {
    const struct {
        unsigned value;
        QColor rgb;
    } cases[] = {
        {6610210, QColor(34, 221, 100)}, // the confirm key
        {2907084, QColor(204, 91, 44)},  // the form's frame
        {0x808080, QColor(128, 128, 128)}, {0xFFFFFF, QColor(255, 255, 255)}, {0x0000FF, QColor(255, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(colorFromBgr(c.value), c.rgb) << std::hex << c.value;
}

} // namespace
