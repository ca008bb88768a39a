#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace cadcons {

// Colours as the form's design gives them: 0x00BBGGRR.
QColor colorFromBgr(unsigned value);

// What the touch controls share: a left press that goes down inside arms the control, and its release
// inside emits clicked(). A control that is disabled forgets its press. Never takes keyboard focus: the
// form takes every key itself.
class TTouchControl : public QWidget {
    Q_OBJECT
public:
    explicit TTouchControl(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void changeEvent(QEvent*) override;

    bool isArmed() const { return armed_; }
    // Forgets the press: its release will not click.
    void disarm();
    // The press began (true) or ended without a click or before one (false).
    virtual void pressChanged(bool /*down*/) {}

private:
    bool armed_ = false; // a left press began on the control and has not been released
};

// A rounded field frame without outline, filled with its brush colour; emits clicked() on a click
// released inside it.
class TBlendedShape : public TTouchControl {
    Q_OBJECT
public:
    explicit TBlendedShape(QWidget* parent = nullptr);
    QColor brushColor() const { return brush_; }
    void setBrushColor(const QColor& color);

    static constexpr qreal kRadius = 8;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor brush_ = Qt::white;
};

// A touch key: rounded face without outline, caption and/or glyph, drawn inverted (black face, white
// caption) while pressed.
class TBlendedBitBtn : public TTouchControl {
    Q_OBJECT
public:
    explicit TBlendedBitBtn(QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    QColor color() const { return color_; }
    void setColor(const QColor& color);
    QPixmap glyph() const { return glyph_; }
    void setGlyph(const QPixmap& glyph); // drawn to the right of the caption, or centred without one
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool isDown() const { return pressed_; }

    // Presses the key from code, as a touch does. A disabled key ignores it, as it ignores a touch.
    void click();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void changeEvent(QEvent*) override;
    void hideEvent(QHideEvent*) override;
    void pressChanged(bool down) override { setPressed(down); }

private:
    void setPressed(bool pressed);

    QString caption_;
    QColor color_{128, 128, 128};
    QPixmap glyph_;
    int tag_ = 0;
    bool pressed_ = false; // drawn down: held and still over the key
};

// The pictures of the screen, drawn here so no picture file travels with the module.
namespace glyphs {
QPixmap checkMark();   // green check mark, 43 x 29, transparent background
QPixmap backspace();   // 34 x 34
QPixmap clearField();  // 34 x 34
QPixmap exitDoor();    // 34 x 34
QPixmap confirm();     // 34 x 34
QPixmap fingerprint(); // 34 x 34
} // namespace glyphs

} // namespace cadcons
