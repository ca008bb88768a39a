#pragma once

#include <QCursor>
#include <QList>

class QWidget;

// What the module's dialogs share: where they open, the wait cursor, and whether one can open at all.
namespace cadcons {

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
