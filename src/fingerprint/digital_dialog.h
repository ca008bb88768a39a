#pragma once

#include <QDialog>
#include <QString>
#include <QVariantList>

class QHBoxLayout;
class QLabel;

namespace cadcons {

class FingerprintEnrolment;
class TBlendedBitBtn;

// The stages of one finger's enrolment as a row of segments, the completed ones filled.
class StageBar : public QWidget {
    Q_OBJECT
public:
    explicit StageBar(QWidget* parent = nullptr);
    int stages() const { return stages_; }
    int completed() const { return completed_; }
    void setProgress(int completed, int stages);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int stages_ = 0;
    int completed_ = 0;
};

// The capture dialog: who is being enrolled, on which reader, which finger, the stages done and what to
// do next, in type large enough to read at arm's length. It starts the enrolment once it is shown and
// closes by itself when both fingers are captured. "Cancelar" (or Escape) stops the enrolment; the
// dialog closes when the reader has been let go. A failure stays on screen, in red, until the operator
// touches "Fechar" or presses Enter. No child takes the focus, so every physical key reaches the
// dialog. Its widgets are named for scripts: "digitalConsumidor", "digitalLeitor", "digitalDedo",
// "digitalProgresso", "digitalEtapa", "digitalInstrucao", "digitalAviso", "btnCancelar".
class DigitalDialog : public QDialog {
    Q_OBJECT
public:
    DigitalDialog(FingerprintEnrolment& enrolment, const QString& consumerCode, const QString& consumerName,
                  QWidget* parent = nullptr);

    FingerprintEnrolment& enrolment() const { return enrolment_; }

    // Leaving while the enrolment runs cancels it; the dialog closes when it has stopped.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QHBoxLayout* buildCancelKey();
    void begin();
    void fingerStarted(int finger, int stages);
    void stageCompleted(int finger, int completed, int stages);
    void scanRetry(int finger, const QString& hint);
    void finished();
    void setInstruction(const QString& text, bool error = false);
    QString placePrompt() const;

    FingerprintEnrolment& enrolment_;
    QString consumerCode_;
    QString consumerName_;
    bool begun_ = false;
    QLabel* finger_ = nullptr;
    StageBar* bar_ = nullptr;
    QLabel* stage_ = nullptr;
    QLabel* instruction_ = nullptr;
    QLabel* hint_ = nullptr;
    TBlendedBitBtn* key_ = nullptr;
};

// The sibling package's fingerprint capture: finds a reader, enrols two fingers through the dialog and
// leaves their templates, as base64 text, in templates[0] and templates[1]. Whatever is not captured
// comes back as an empty text: both, when there is no reader (the operator is told so), when the
// operator cancels, or when the capture fails. The list is made two elements long if it is shorter.
// Without a widget application on the calling thread nothing is shown and both come back empty. The
// customer code is not needed for a capture.
void captureDigitalConsumidor(const QString& consumerCode, const QString& customerCode, const QString& consumerName,
                              QVariantList& templates, QWidget* parent = nullptr);

// Puts the capture in the sibling package's DigitalConsumidor variable unless something is there already.
void installDefaultDigitalConsumidor();

} // namespace cadcons
