#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace cadcons {

// Enrols a consumer's fingerprints on the first reader libfprint finds: two fingers, the right index and
// then the left index, so that a consumer with one finger hurt can still be identified. Each finger
// becomes one template: libfprint's serialized print, as base64 text. The result is all or nothing: a
// capture that is cancelled or fails midway leaves no template, since the caller replaces the stored
// ones with whatever comes back.
//
// libfprint runs on GLib's default main context, on the thread of the widget application: Qt's event
// loop iterates that context when Qt is built on GLib, and a timer does it otherwise, so the operator's
// screen keeps answering while a finger is awaited.
class FingerprintEnrolment : public QObject {
    Q_OBJECT
public:
    enum class Outcome { None, Captured, NoReader, Cancelled, Failed };
    Q_ENUM(Outcome)
    static constexpr int kFingerCount = 2;

    explicit FingerprintEnrolment(QObject* parent = nullptr);
    // An enrolment still running is cancelled; the reader is closed once libfprint lets go of it.
    ~FingerprintEnrolment() override;
    FingerprintEnrolment(const FingerprintEnrolment&) = delete;
    FingerprintEnrolment& operator=(const FingerprintEnrolment&) = delete;

    // Looks for a reader. libfprint enumerates the devices synchronously, so this blocks for as long
    // as that takes (usually a few milliseconds).
    bool findReader();
    QString readerName() const;
    // Whether the finger is swiped over the reader rather than laid on it.
    bool swipeReader() const;

    // Opens the reader and enrols both fingers; the prints carry the consumer's code and name.
    // Without a reader it finishes at once with NoReader.
    void start(const QString& consumerCode, const QString& consumerName);
    // Asks libfprint to stop; finished() follows once the reader is closed.
    void cancel();

    bool isRunning() const;
    bool isCancelling() const;
    Outcome outcome() const;
    // Both templates after Captured; empty otherwise.
    QStringList templates() const;
    // What went wrong, for the operator, after Failed or NoReader.
    QString errorText() const;

    // "indicador direito", "indicador esquerdo".
    static QString fingerName(int finger);

Q_SIGNALS:
    void fingerStarted(int finger, int stages);
    void stageCompleted(int finger, int completed, int stages);
    // A scan that did not count; the hint tells the operator what to do.
    void scanRetry(int finger, const QString& hint);
    void finished(cadcons::FingerprintEnrolment::Outcome outcome);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace cadcons
