#include "widgets/blended.h"

#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <functional>

namespace cadcons {

QColor colorFromBgr(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

namespace {

// A radius that never exceeds half the side, so a narrow widget stays a rounded rectangle.
qreal cornerRadius(const QRect& r) {
    return std::min<qreal>(TBlendedShape::kRadius, std::min(r.width(), r.height()) / 2.0);
}

bool isInside(const QWidget* w, const QMouseEvent* e) {
    return w->rect().contains(e->position().toPoint());
}

// The glyph of a disabled key: grey, and half as strong, whatever colours the picture has.
QPixmap greyed(const QPixmap& glyph) {
    QImage img = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int g = 96 + qGray(line[x]) / 2;
            line[x] = qRgba(g, g, g, qAlpha(line[x]) / 2);
        }
    }
    QPixmap out = QPixmap::fromImage(img);
    out.setDevicePixelRatio(glyph.devicePixelRatio());
    return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// TTouchControl

TTouchControl::TTouchControl(QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TTouchControl::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !isInside(this, e)) {
        e->ignore();
        return;
    }
    armed_ = true;
    pressChanged(true);
    e->accept();
}

void TTouchControl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !armed_) {
        e->ignore();
        return;
    }
    const bool inside = isInside(this, e);
    disarm();
    e->accept();
    // Last statement: a handler may close or delete the screen that holds this control.
    if (inside)
        Q_EMIT clicked();
}

void TTouchControl::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange && !isEnabled())
        disarm();
    QWidget::changeEvent(e);
}

void TTouchControl::disarm() {
    armed_ = false;
    pressChanged(false);
}

// ---------------------------------------------------------------------------------------------------------------
// TBlendedShape

TBlendedShape::TBlendedShape(QWidget* parent)
    : TTouchControl(parent) {}

void TBlendedShape::setBrushColor(const QColor& color) {
    if (color == brush_)
        return;
    brush_ = color;
    update();
}

void TBlendedShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(brush_);
    const qreal r = cornerRadius(rect());
    p.drawRoundedRect(QRectF(rect()), r, r);
}

// ---------------------------------------------------------------------------------------------------------------
// TBlendedBitBtn

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent)
    : TTouchControl(parent) {
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    setFont(f);
}

void TBlendedBitBtn::setCaption(const QString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    update();
}

void TBlendedBitBtn::setColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    update();
}

void TBlendedBitBtn::setGlyph(const QPixmap& glyph) {
    glyph_ = glyph;
    update();
}

void TBlendedBitBtn::click() {
    if (isEnabled())
        Q_EMIT clicked();
}

QSize TBlendedBitBtn::sizeHint() const {
    return {60, 48};
}

void TBlendedBitBtn::setPressed(bool pressed) {
    if (pressed == pressed_)
        return;
    pressed_ = pressed;
    update();
}

void TBlendedBitBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);

    // While held, the key takes the system's text and text-background colours (black and white by
    // default), so the operator sees at once which key the finger is on.
    const QPalette& pal = palette();
    QColor face = pressed_ ? pal.color(QPalette::Active, QPalette::Text) : color_;
    QColor ink = pressed_ ? pal.color(QPalette::Active, QPalette::Base) : QColor(Qt::white);
    if (!isEnabled()) {
        // A key that does nothing must not look like one that does: a dull face, faint ink.
        face = QColor::fromHsv(face.hsvHue(), face.hsvSaturation() / 4, std::min(face.value(), 110));
        ink.setAlpha(110);
    }

    // Keys sit edge to edge on the keyboard; a thin margin keeps an even gap between their faces.
    const QRectF faceRect = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    const qreal r = cornerRadius(rect());
    p.drawRoundedRect(faceRect, r, r);

    const QRect area = rect().adjusted(2, 2, -2, -2);
    QSizeF glyphSize;
    if (!glyph_.isNull()) {
        glyphSize = glyph_.deviceIndependentSize();
        // A glyph larger than the key is scaled down, never cut.
        if (glyphSize.width() > area.width() || glyphSize.height() > area.height())
            glyphSize.scale(QSizeF(area.size()), Qt::KeepAspectRatio);
    }
    const QFontMetrics fm(font());
    const int textWidth = caption_.isEmpty() ? 0 : fm.horizontalAdvance(caption_);
    const int gap = (textWidth > 0 && !glyph_.isNull()) ? 6 : 0;
    const qreal total = textWidth + gap + glyphSize.width();
    qreal x = area.left() + (area.width() - total) / 2.0;

    if (textWidth > 0) {
        p.setPen(ink);
        p.setFont(font());
        const QRectF textRect(x, area.top(), textWidth, area.height());
        p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, caption_);
        x += textWidth + gap;
    }
    if (!glyph_.isNull()) {
        const QRectF target(x, area.top() + (area.height() - glyphSize.height()) / 2.0, glyphSize.width(),
                            glyphSize.height());
        p.drawPixmap(target, isEnabled() ? glyph_ : greyed(glyph_), QRectF(glyph_.rect()));
    }
}

// A finger that slides off the key lets it come up; sliding back presses it again, as with any button.
void TBlendedBitBtn::mouseMoveEvent(QMouseEvent* e) {
    if (!isArmed()) {
        e->ignore();
        return;
    }
    setPressed(isInside(this, e));
    e->accept();
}

void TBlendedBitBtn::changeEvent(QEvent* e) {
    // A disabled key is disarmed by TTouchControl; each of these changes the key's look.
    const QEvent::Type type = e->type();
    if (type == QEvent::EnabledChange || type == QEvent::FontChange || type == QEvent::PaletteChange)
        update();
    TTouchControl::changeEvent(e);
}

void TBlendedBitBtn::hideEvent(QHideEvent* e) {
    disarm();
    TTouchControl::hideEvent(e);
}

// ---------------------------------------------------------------------------------------------------------------
// Pictures

namespace glyphs {

namespace {

QPixmap paint(int w, int h, const std::function<void(QPainter&)>& draw) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    return QPixmap::fromImage(img);
}

QPen roundPen(const QColor& c, qreal width) {
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

const QColor kInk(Qt::white); // the keys are grey or green: white reads on both, and on the pressed black

// The open path through `points`, in order.
QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    return path;
}

} // namespace

QPixmap checkMark() {
    return paint(43, 29, [](QPainter& p) {
        const QPainterPath tick = polyline({{5.5, 15.5}, {16, 24.5}, {38.5, 4.5}});
        // A darker rim first keeps the edge crisp on the white frames it is shown on.
        p.strokePath(tick, roundPen(QColor(26, 140, 60), 7));
        p.strokePath(tick, roundPen(QColor(34, 177, 76), 5));
    });
}

QPixmap backspace() {
    return paint(34, 34, [](QPainter& p) {
        QPainterPath key;
        key.moveTo(2, 17);
        key.lineTo(11.5, 7);
        key.lineTo(29, 7);
        key.quadTo(32, 7, 32, 10);
        key.lineTo(32, 24);
        key.quadTo(32, 27, 29, 27);
        key.lineTo(11.5, 27);
        key.closeSubpath();
        p.fillPath(key, kInk);
        // The cross is cut out of the key, so the face of the button shows through it.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(roundPen(Qt::black, 2.8));
        p.drawLine(QPointF(16, 12), QPointF(26, 22));
        p.drawLine(QPointF(26, 12), QPointF(16, 22));
    });
}

QPixmap clearField() {
    return paint(34, 34, [](QPainter& p) {
        // An eraser leaning on a line.
        p.save();
        p.translate(18, 15);
        p.rotate(-40);
        const QRectF body(-13, -6.5, 26, 13);
        const QRectF tip(-13, -6.5, 10, 13);
        p.setPen(roundPen(kInk, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body, 2.5, 2.5);
        QPainterPath tipPath;
        tipPath.addRoundedRect(tip, 2.5, 2.5);
        p.fillPath(tipPath, kInk);
        p.restore();
        p.setPen(roundPen(kInk, 2));
        p.drawLine(QPointF(4, 30.5), QPointF(30, 30.5));
    });
}

QPixmap exitDoor() {
    return paint(34, 34, [](QPainter& p) {
        // The frame is open on the right, where the arrow leaves.
        const QPainterPath frame = polyline({{21, 10}, {21, 4}, {5, 4}, {5, 30}, {21, 30}, {21, 24}});
        p.strokePath(frame, roundPen(kInk, 2.2));
        QPolygonF leaf({QPointF(5, 4), QPointF(15, 7.5), QPointF(15, 32.5), QPointF(5, 30)});
        p.setPen(roundPen(kInk, 1.5));
        p.setBrush(kInk);
        p.drawPolygon(leaf);
        p.setPen(roundPen(kInk, 2.6));
        p.drawLine(QPointF(18, 17), QPointF(31, 17));
        p.drawLine(QPointF(26, 12), QPointF(31, 17));
        p.drawLine(QPointF(26, 22), QPointF(31, 17));
    });
}

QPixmap confirm() {
    return paint(34, 34, [](QPainter& p) {
        p.strokePath(polyline({{6.5, 18}, {13.5, 25}, {27.5, 9}}), roundPen(kInk, 4.5));
    });
}

QPixmap fingerprint() {
    return paint(34, 34, [](QPainter& p) {
        // Concentric ridges, open at the bottom, each ring's gap a little to the side of the last. Four
        // rings keep clear gaps between the strokes at this size.
        p.setPen(roundPen(kInk, 2));
        const QPointF c(17, 18);
        for (int i = 0; i < 4; ++i) {
            const qreal rx = 3.2 + 3.8 * i;
            const qreal ry = rx * 1.1;
            const QRectF box(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry);
            const int start = (i % 2 ? -40 : -15) + 5 * i;
            const int span = 215 + 14 * i;
            p.drawArc(box, start * 16, span * 16);
        }
        p.drawLine(QPointF(17, 17), QPointF(17, 23));
    });
}

} // namespace glyphs

} // namespace cadcons
