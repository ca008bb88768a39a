#include "widgets/dialog_support.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace cadcons {

QLabel* addTitleStrip(QWidget* dialog, QVBoxLayout* outer, const QString& text, QWidget* extra) {
    auto* strip = new QWidget(dialog);
    strip->setAutoFillBackground(true);
    QPalette sp = strip->palette();
    sp.setColor(QPalette::Window, kDialogStrip);
    sp.setColor(QPalette::WindowText, Qt::white);
    strip->setPalette(sp);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(16, 8, 16, 8);
    auto* title = new QLabel(text, strip);
    QFont tf = title->font();
    tf.setPixelSize(20);
    tf.setBold(true);
    title->setFont(tf);
    row->addWidget(title);
    row->addStretch(1);
    if (extra)
        row->addWidget(extra);
    outer->addWidget(strip);
    return title;
}

void setDialogSize(QWidget* dialog, const QWidget* parent, QSize size) {
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    dialog->setFixedSize(size);
}

void paintDialogFrame(QWidget* dialog) {
    QPainter p(dialog);
    p.fillRect(dialog->rect(), Qt::white);
    p.setPen(QPen(kDialogStrip, kDialogBorder * 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(dialog->rect());
}

void centreDialog(QWidget* dialog) {
    QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    QPoint centreAt;
    QScreen* screen = nullptr;
    if (owner && owner->isVisible()) {
        centreAt = owner->geometry().center();
        screen = owner->screen();
    } else {
        screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            centreAt = screen->availableGeometry().center();
    }
    QRect g(QPoint(), dialog->size());
    g.moveCenter(centreAt);
    if (screen) {
        const QRect avail = screen->availableGeometry();
        g.moveLeft(std::max(avail.left(), std::min(g.left(), avail.right() - g.width() + 1)));
        g.moveTop(std::max(avail.top(), std::min(g.top(), avail.bottom() - g.height() + 1)));
    }
    dialog->move(g.topLeft());
}

bool canShowDialog() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

OverrideCursorLift::OverrideCursorLift() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    while (const QCursor* c = QGuiApplication::overrideCursor()) {
        saved_.prepend(*c);
        QGuiApplication::restoreOverrideCursor();
    }
}

OverrideCursorLift::~OverrideCursorLift() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    for (const QCursor& c : saved_)
        QGuiApplication::setOverrideCursor(c);
}

} // namespace cadcons
