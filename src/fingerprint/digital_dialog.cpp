#include "fingerprint/digital_dialog.h"

#include "fingerprint/fingerprint_enrolment.h"
#include "routines/sibling.h"
#include "widgets/blended.h"
#include "widgets/dialog_support.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace cadcons {

namespace {

// Sizes for a finger on a touch terminal.
constexpr QSize kDialogSize(620, 470);
constexpr QSize kKeySize(220, 64);
constexpr int kBarHeight = 30;

// The colours of the other dialogs, so they read as one family.
const QColor kDone = kChooseFace;
const QColor kPending(218, 224, 231);
const QColor kErrorText(198, 40, 40);
const QColor kHintText(230, 81, 0);

QLabel* makeLabel(QWidget* parent, const QString& name, int pixelSize, bool bold) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont f = label->font();
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    label->setFont(f);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return label;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// StageBar

StageBar::StageBar(QWidget* parent)
    : QWidget(parent) {
    setFixedHeight(kBarHeight);
}

void StageBar::setProgress(int completed, int stages) {
    stages_ = std::max(0, stages);
    completed_ = std::clamp(completed, 0, stages_);
    update();
}

void StageBar::paintEvent(QPaintEvent*) {
    if (stages_ == 0)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    constexpr qreal gap = 8;
    const qreal width = (this->width() - gap * (stages_ - 1)) / stages_;
    for (int i = 0; i < stages_; ++i) {
        p.setBrush(i < completed_ ? kDone : kPending);
        p.drawRoundedRect(QRectF(i * (width + gap), 0, width, height()), 6, 6);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// DigitalDialog

DigitalDialog::DigitalDialog(FingerprintEnrolment& enrolment, const QString& consumerCode, const QString& consumerName,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , enrolment_(enrolment)
    , consumerCode_(consumerCode)
    , consumerName_(consumerName) {
    setModal(true);
    setObjectName(QStringLiteral("digitalDialog"));
    setWindowTitle(QCoreApplication::translate("DigitalDialog", "Captura de Digital"));
    // The dialog takes the keys itself; no child may hold the focus and swallow Escape.
    setFocusPolicy(Qt::StrongFocus);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kDialogBorder, kDialogBorder, kDialogBorder, kDialogBorder);
    outer->setSpacing(0);

    addTitleStrip(this, outer, QCoreApplication::translate("DigitalDialog", "Captura de Digital"));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(20, 14, 20, 14);
    body->setSpacing(10);
    outer->addLayout(body, 1);

    auto* name = makeLabel(this, QStringLiteral("digitalConsumidor"), 20, true);
    name->setText(consumerName.trimmed());
    body->addWidget(name);
    auto* reader = makeLabel(this, QStringLiteral("digitalLeitor"), 16, false);
    reader->setText(QCoreApplication::translate("DigitalDialog", "Leitor: %1").arg(enrolment.readerName()));
    setTextColour(reader, QColor(96, 96, 96));
    body->addWidget(reader);

    finger_ = makeLabel(this, QStringLiteral("digitalDedo"), 22, true);
    body->addWidget(finger_);
    bar_ = new StageBar(this);
    bar_->setObjectName(QStringLiteral("digitalProgresso"));
    body->addWidget(bar_);
    stage_ = makeLabel(this, QStringLiteral("digitalEtapa"), 18, false);
    body->addWidget(stage_);
    instruction_ = makeLabel(this, QStringLiteral("digitalInstrucao"), 26, true);
    instruction_->setMinimumHeight(2 * QFontMetrics(instruction_->font()).height());
    body->addWidget(instruction_);
    hint_ = makeLabel(this, QStringLiteral("digitalAviso"), 18, false);
    setTextColour(hint_, kHintText);
    body->addWidget(hint_);
    body->addStretch(1);

    body->addLayout(buildCancelKey());

    setInstruction(QCoreApplication::translate("DigitalDialog", "Preparando o leitor biométrico..."));

    connect(&enrolment_, &FingerprintEnrolment::fingerStarted, this, &DigitalDialog::fingerStarted);
    connect(&enrolment_, &FingerprintEnrolment::stageCompleted, this, &DigitalDialog::stageCompleted);
    connect(&enrolment_, &FingerprintEnrolment::scanRetry, this, &DigitalDialog::scanRetry);
    connect(&enrolment_, &FingerprintEnrolment::finished, this, &DigitalDialog::finished);

    setDialogSize(this, parent, kDialogSize);
}

// "Cancelar", centred below the texts, wide enough for a thumb.
QHBoxLayout* DigitalDialog::buildCancelKey() {
    key_ = new TBlendedBitBtn(this);
    key_->setObjectName(QStringLiteral("btnCancelar"));
    key_->setCaption(QCoreApplication::translate("DigitalDialog", "Cancelar"));
    key_->setColor(kLeaveFace);
    key_->setGlyph(glyphs::exitDoor());
    QFont kf = key_->font();
    kf.setPixelSize(20);
    kf.setBold(true);
    key_->setFont(kf);
    key_->setFixedSize(kKeySize);
    connect(key_, &TBlendedBitBtn::clicked, this, &DigitalDialog::reject);
    auto* keys = new QHBoxLayout;
    keys->addStretch(1);
    keys->addWidget(key_);
    keys->addStretch(1);
    return keys;
}

void DigitalDialog::begin() {
    if (begun_)
        return;
    begun_ = true;
    enrolment_.start(consumerCode_, consumerName_);
}

QString DigitalDialog::placePrompt() const {
    return enrolment_.swipeReader() ? QCoreApplication::translate("DigitalDialog", "Passe o dedo no leitor")
                                    : QCoreApplication::translate("DigitalDialog", "Coloque o dedo no leitor");
}

void DigitalDialog::setInstruction(const QString& text, bool error) {
    instruction_->setText(text);
    setTextColour(instruction_, error ? kErrorText : QColor(33, 33, 33));
}

void DigitalDialog::fingerStarted(int finger, int stages) {
    finger_->setText(QCoreApplication::translate("DigitalDialog", "Dedo %1 de %2: %3")
                         .arg(finger + 1)
                         .arg(FingerprintEnrolment::kFingerCount)
                         .arg(FingerprintEnrolment::fingerName(finger)));
    bar_->setProgress(0, stages);
    stage_->setText(QCoreApplication::translate("DigitalDialog", "Etapa 1 de %1").arg(stages));
    setInstruction(placePrompt());
    hint_->clear();
}

void DigitalDialog::stageCompleted(int finger, int completed, int stages) {
    bar_->setProgress(completed, stages);
    hint_->clear();
    if (completed < stages) {
        stage_->setText(QCoreApplication::translate("DigitalDialog", "Etapa %1 de %2").arg(completed + 1).arg(stages));
        setInstruction(enrolment_.swipeReader()
                           ? QCoreApplication::translate("DigitalDialog", "Passe o dedo de novo")
                           : QCoreApplication::translate("DigitalDialog", "Retire o dedo e coloque de novo no leitor"));
        return;
    }
    stage_->setText(QCoreApplication::translate("DigitalDialog", "Etapa %1 de %1").arg(stages));
    const QString name = FingerprintEnrolment::fingerName(finger);
    setInstruction(
        QCoreApplication::translate("DigitalDialog", "%1 capturado").arg(name.left(1).toUpper() + name.mid(1)));
}

void DigitalDialog::scanRetry(int, const QString& hint) {
    hint_->setText(hint);
}

void DigitalDialog::finished() {
    switch (enrolment_.outcome()) {
    case FingerprintEnrolment::Outcome::Captured:
        accept();
        return;
    case FingerprintEnrolment::Outcome::Cancelled:
        QDialog::reject();
        return;
    default:
        break;
    }
    // A failure waits for the operator to read it.
    setInstruction(enrolment_.errorText(), true);
    hint_->setText(QCoreApplication::translate("DigitalDialog", "Nenhuma digital foi guardada."));
    key_->setCaption(QCoreApplication::translate("DigitalDialog", "Fechar"));
    key_->setColor(kKeyFace);
    key_->setEnabled(true);
}

void DigitalDialog::reject() {
    if (!enrolment_.isRunning()) {
        QDialog::reject();
        return;
    }
    if (enrolment_.isCancelling())
        return;
    enrolment_.cancel();
    setInstruction(QCoreApplication::translate("DigitalDialog", "Cancelando a captura..."));
    hint_->clear();
    key_->setEnabled(false);
}

void DigitalDialog::keyPressEvent(QKeyEvent* e) {
    e->accept(); // nothing reaches the screen behind a modal dialog
    if (e->isAutoRepeat())
        return;
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    // Enter only acknowledges a failure; while a finger is awaited it must not stop the capture.
    if (e->key() == Qt::Key_Escape || (enter && begun_ && !enrolment_.isRunning()))
        reject();
}

void DigitalDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    centreDialog(this);
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    // Once the dialog is on screen, so that the operator sees it while the reader opens.
    QTimer::singleShot(0, this, &DigitalDialog::begin);
}

void DigitalDialog::paintEvent(QPaintEvent*) {
    paintDialogFrame(this);
}

// ---------------------------------------------------------------------------------------------------------------

void captureDigitalConsumidor(const QString& consumerCode, const QString& /*customerCode*/, const QString& consumerName,
                              QVariantList& templates, QWidget* parent) {
    // The caller stores whatever comes back, so nothing of an earlier capture may stay in the list.
    while (templates.size() < FingerprintEnrolment::kFingerCount)
        templates.append(QVariant());
    for (int i = 0; i < FingerprintEnrolment::kFingerCount; ++i)
        templates[i] = QString();

    if (!canShowDialog()) {
        qWarning("cadcons: no screen to capture fingerprints on");
        return;
    }
    FingerprintEnrolment enrolment;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool found = enrolment.findReader();
    QGuiApplication::restoreOverrideCursor();
    if (!found) {
        Mensagem(QCoreApplication::translate("DigitalDialog", "Nenhum leitor biométrico encontrado."), QString(),
                 QStringLiteral("N"), QStringLiteral("N"), kMsgInformacao, QString(), QString(), 0, nullptr);
        return;
    }

    OverrideCursorLift lift;
    if (!parent)
        parent = QApplication::activeWindow();
    // The parent may go away while the dialog is up; the guard keeps us from touching a deleted dialog.
    QPointer<DigitalDialog> dialog = new DigitalDialog(enrolment, consumerCode, consumerName, parent);
    dialog->exec();
    delete dialog.data();
    const QStringList captured = enrolment.templates();
    for (int i = 0; i < captured.size() && i < FingerprintEnrolment::kFingerCount; ++i)
        templates[i] = captured[i];
}

void installDefaultDigitalConsumidor() {
    DigitalConsumidorFn& service = siblingServices().DigitalConsumidor;
    if (!service) {
        service = [](const QString& consumerCode, const QString& customerCode, const QString& consumerName,
                     QVariantList& templates) {
            captureDigitalConsumidor(consumerCode, customerCode, consumerName, templates, QApplication::activeWindow());
        };
    }
}

} // namespace cadcons
