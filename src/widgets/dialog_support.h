#pragma once

#include <QColor>
#include <QCursor>
#include <QList>
#include <QSize>
#include <QString>

class QLabel;
class QVBoxLayout;
class QWidget;

// What the module's dialogs share: where they open, the wait cursor, and whether one can open at all.
namespace cadcons {

// The frame and title strip of the list and capture dialogs.
inline constexpr int kDialogBorder = 3;
inline const QColor kDialogStrip{21, 101, 192};
// The faces of their keys: an ordinary key, the one that chooses, the one that leaves.
inline const QColor kKeyFace{84, 96, 110};
inline const QColor kChooseFace{34, 160, 70};
inline const QColor kLeaveFace{198, 40, 40};

// Puts the blue title strip at the top of `outer` and returns its title label; `extra` (optional) stands
// at the strip's right.
QLabel* addTitleStrip(QWidget* dialog, QVBoxLayout* outer, const QString& text, QWidget* extra = nullptr);

// Fixes a dialog at its design size, smaller where the screen of `parent` (else the primary one) is.
void setDialogSize(QWidget* dialog, const QWidget* parent, QSize size);

// The touch dialogs' face: white, framed in the colour of the title strip.
void paintDialogFrame(QWidget* dialog);

// Centres a top-level dialog on the window it belongs to, or on the screen; always inside the screen.
void centreDialog(QWidget* dialog);

// Without a widget application on this thread there is no one to show a dialog to.
bool canShowDialog();

// A wait cursor must not hang over a dialog that waits for the operator: every override cursor is
// taken off while the dialog is up and put back, in the same order, afterwards.
class OverrideCursorLift {
public:
    OverrideCursorLift();
    ~OverrideCursorLift();
    OverrideCursorLift(const OverrideCursorLift&) = delete;
    OverrideCursorLift& operator=(const OverrideCursorLift&) = delete;

private:
    QList<QCursor> saved_;
};

} // namespace cadcons
