#include "fingerprint/fingerprint_enrolment.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QPointer>
#include <QTimer>
#include <QtGlobal>

#include <fprint.h>

namespace cadcons {

namespace {

constexpr FpFinger kFingers[FingerprintEnrolment::kFingerCount] = {FP_FINGER_RIGHT_INDEX, FP_FINGER_LEFT_INDEX};

// ----------------------------------------------------------------------------------------------------------------
// libfprint answers through GLib's default main context. A Qt built on GLib iterates that context in its
// own event loop; any other event dispatcher leaves it alone, and then a timer does it for as long as an
// operation of ours is outstanding.

int outstandingCalls = 0;
QPointer<QTimer> glibPump;

bool qtIteratesGLib() {
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

void iterateGLib() {
    // Bounded: a source that is always ready must not keep the Qt loop from its own events.
    for (int i = 0; i < 64 && g_main_context_pending(nullptr); ++i)
        g_main_context_iteration(nullptr, FALSE);
}

void holdGLib() {
    ++outstandingCalls;
    if (!glibPump) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || qtIteratesGLib())
            return;
        glibPump = new QTimer(app);
        glibPump->setInterval(10);
        QObject::connect(glibPump, &QTimer::timeout, glibPump, &iterateGLib);
    }
    if (!glibPump->isActive())
        glibPump->start();
}

void releaseGLib() {
    if (--outstandingCalls == 0 && glibPump)
        glibPump->stop();
}

// ----------------------------------------------------------------------------------------------------------------

QString swipeOr(bool swipe, const char* swipeText, const char* pressText) {
    return QCoreApplication::translate("DigitalDialog", swipe ? swipeText : pressText);
}

QString retryHint(const GError* error, bool swipe) {
    switch (error->code) {
    case FP_DEVICE_RETRY_TOO_SHORT:
        return swipeOr(swipe,
                       QT_TRANSLATE_NOOP("DigitalDialog", "Passagem curta demais. Passe o dedo de novo, mais devagar."),
                       QT_TRANSLATE_NOOP("DigitalDialog", "Leitura incompleta. Coloque o dedo de novo."));
    case FP_DEVICE_RETRY_CENTER_FINGER:
        return QCoreApplication::translate("DigitalDialog", "Centralize o dedo no leitor.");
    case FP_DEVICE_RETRY_REMOVE_FINGER:
        return QCoreApplication::translate("DigitalDialog", "Retire o dedo do leitor e coloque de novo.");
    default:
        return swipeOr(swipe, QT_TRANSLATE_NOOP("DigitalDialog", "Leitura não aproveitada. Passe o dedo de novo."),
                       QT_TRANSLATE_NOOP("DigitalDialog", "Leitura não aproveitada. Coloque o dedo de novo."));
    }
}

QString describeError(const GError* error) {
    if (error->domain == FP_DEVICE_ERROR) {
        switch (error->code) {
        case FP_DEVICE_ERROR_DATA_FULL:
            return QCoreApplication::translate("DigitalDialog", "A memória do leitor biométrico está cheia.");
        case FP_DEVICE_ERROR_DATA_DUPLICATE:
            return QCoreApplication::translate("DigitalDialog",
                                               "Esta digital já está cadastrada no leitor biométrico.");
        case FP_DEVICE_ERROR_REMOVED:
            return QCoreApplication::translate("DigitalDialog", "O leitor biométrico foi desconectado.");
        case FP_DEVICE_ERROR_TOO_HOT:
            return QCoreApplication::translate(
                "DigitalDialog", "O leitor biométrico está quente demais. Aguarde alguns minutos e tente de novo.");
        case FP_DEVICE_ERROR_BUSY:
            return QCoreApplication::translate("DigitalDialog", "O leitor biométrico está ocupado. Tente de novo.");
        default:
            break;
        }
    }
    return QCoreApplication::translate("DigitalDialog", "Falha na captura da digital: %1")
        .arg(QString::fromUtf8(error->message));
}

QString messageOf(const GError* error) {
    return error ? QString::fromUtf8(error->message) : QString();
}

bool isCancellation(const GError* error) {
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

} // namespace

// ----------------------------------------------------------------------------------------------------------------

struct FingerprintEnrolment::Private {
    // One outstanding libfprint call. It keeps the context and the reader alive on its own, so that an
    // enrolment destroyed while libfprint still works can still close the reader when the answer comes.
    struct Call {
        Call(FingerprintEnrolment* owner, FpContext* context, FpDevice* device)
            : owner(owner)
            , context(FP_CONTEXT(g_object_ref(context)))
            , device(FP_DEVICE(g_object_ref(device))) {
            holdGLib();
        }
        ~Call() {
            g_object_unref(device);
            g_object_unref(context);
            releaseGLib();
        }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

        QPointer<FingerprintEnrolment> owner;
        FpContext* context;
        FpDevice* device;
    };

    explicit Private(FingerprintEnrolment* q)
        : q(q) {}

    FingerprintEnrolment* q;
    FpContext* context = nullptr;
    FpDevice* device = nullptr;
    GCancellable* cancellable = nullptr;
    bool running = false;
    bool cancelling = false;
    Outcome outcome = Outcome::None;
    QStringList templates;
    QString error;
    int finger = 0;
    QString consumerCode;
    QString consumerName;

    Call* newCall() { return new Call(q, context, device); }

    // Callbacks of libfprint. Each takes over the Call it was given.

    static void opened(GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Call> call(static_cast<Call*>(data));
        GError* error = nullptr;
        const bool ok = fp_device_open_finish(call->device, result, &error);
        if (call->owner)
            call->owner->d->handleOpened(ok, error);
        else if (ok)
            closeOrphan(*call);
        g_clear_error(&error);
    }

    static void progressed(FpDevice* device, gint completed, FpPrint*, gpointer data, GError* error) {
        auto* call = static_cast<Call*>(data);
        if (call->owner)
            call->owner->d->handleProgress(fp_device_get_nr_enroll_stages(device), completed, error);
    }

    static void dropCall(gpointer data) { delete static_cast<Call*>(data); }

    static void enrolled(GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Call> call(static_cast<Call*>(data));
        GError* error = nullptr;
        FpPrint* print = fp_device_enroll_finish(call->device, result, &error);
        if (call->owner)
            call->owner->d->handleEnrolled(print, error);
        else
            closeOrphan(*call);
        if (print)
            g_object_unref(print);
        g_clear_error(&error);
    }

    static void closed(GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Call> call(static_cast<Call*>(data));
        GError* error = nullptr;
        if (!fp_device_close_finish(call->device, result, &error)) {
            // Nothing the operator can do about it; the next capture opens the reader afresh.
            qWarning("cadcons: closing the fingerprint reader failed: %s", error->message);
            g_clear_error(&error);
        }
        if (call->owner)
            call->owner->d->finish();
    }

    static void closeOrphan(const Call& call) {
        fp_device_close(call.device, nullptr, &closed, new Call(nullptr, call.context, call.device));
    }

    // Steps of an enrolment.

    void handleOpened(bool ok, const GError* err) {
        if (!ok) {
            if (cancelling || isCancellation(err)) {
                outcome = Outcome::Cancelled;
            } else {
                outcome = Outcome::Failed;
                error = QCoreApplication::translate("DigitalDialog", "Não foi possível abrir o leitor biométrico: %1")
                            .arg(messageOf(err));
            }
            finish(); // nothing was opened, so nothing to close
            return;
        }
        if (cancelling) {
            outcome = Outcome::Cancelled;
            close();
            return;
        }
        enrol(0);
    }

    void enrol(int index) {
        finger = index;
        Q_EMIT q->fingerStarted(finger, fp_device_get_nr_enroll_stages(device));
        // The print is handed over floating; libfprint takes it.
        FpPrint* print = fp_print_new(device);
        fp_print_set_finger(print, kFingers[finger]);
        fp_print_set_username(print, consumerCode.toUtf8().constData());
        fp_print_set_description(print, consumerName.toUtf8().constData());
        const QDate today = QDate::currentDate();
        GDate* date = g_date_new_dmy(GDateDay(today.day()), GDateMonth(today.month()), GDateYear(today.year()));
        fp_print_set_enroll_date(print, date);
        g_date_free(date);
        fp_device_enroll(device, print, cancellable, &progressed, newCall(), &dropCall, &enrolled, newCall());
    }

    void handleProgress(int stages, int completed, const GError* retry) {
        if (!running || cancelling)
            return;
        if (retry)
            Q_EMIT q->scanRetry(finger, retryHint(retry, q->swipeReader()));
        else
            Q_EMIT q->stageCompleted(finger, completed, stages);
    }

    void handleEnrolled(FpPrint* print, const GError* err) {
        if (!print || cancelling) {
            if (cancelling || isCancellation(err)) {
                outcome = Outcome::Cancelled;
            } else {
                outcome = Outcome::Failed;
                error = err ? describeError(err)
                            : QCoreApplication::translate("DigitalDialog", "Falha na captura da digital.");
            }
            close();
            return;
        }
        guchar* data = nullptr;
        gsize length = 0;
        GError* serializeError = nullptr;
        if (!fp_print_serialize(print, &data, &length, &serializeError)) {
            outcome = Outcome::Failed;
            error = QCoreApplication::translate("DigitalDialog", "Não foi possível guardar a digital capturada: %1")
                        .arg(QString::fromUtf8(serializeError->message));
            g_clear_error(&serializeError);
            close();
            return;
        }
        const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(length));
        g_free(data);
        templates[finger] = QString::fromLatin1(bytes.toBase64());
        if (finger + 1 < kFingerCount) {
            enrol(finger + 1);
            return;
        }
        outcome = Outcome::Captured;
        close();
    }

    void close() { fp_device_close(device, nullptr, &closed, newCall()); }

    void finish() {
        running = false;
        if (outcome != Outcome::Captured)
            templates.clear();
        Q_EMIT q->finished(outcome);
    }
};

// ----------------------------------------------------------------------------------------------------------------

FingerprintEnrolment::FingerprintEnrolment(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this)) {}

FingerprintEnrolment::~FingerprintEnrolment() {
    // The outstanding calls hold their own references and close the reader themselves.
    if (d->cancellable) {
        g_cancellable_cancel(d->cancellable);
        g_object_unref(d->cancellable);
    }
    if (d->device)
        g_object_unref(d->device);
    if (d->context)
        g_object_unref(d->context);
}

bool FingerprintEnrolment::findReader() {
    if (d->device)
        return true;
    if (!d->context)
        d->context = fp_context_new();
    GPtrArray* devices = fp_context_get_devices(d->context);
    if (!devices || devices->len == 0)
        return false;
    d->device = FP_DEVICE(g_object_ref(g_ptr_array_index(devices, 0)));
    return true;
}

QString FingerprintEnrolment::readerName() const {
    return d->device ? QString::fromUtf8(fp_device_get_name(d->device)) : QString();
}

bool FingerprintEnrolment::swipeReader() const {
    return d->device && fp_device_get_scan_type(d->device) == FP_SCAN_TYPE_SWIPE;
}

void FingerprintEnrolment::start(const QString& consumerCode, const QString& consumerName) {
    if (d->running)
        return;
    d->outcome = Outcome::None;
    d->error.clear();
    d->cancelling = false;
    d->templates = QStringList(kFingerCount);
    d->consumerCode = consumerCode.trimmed();
    d->consumerName = consumerName.trimmed();
    if (!d->device) {
        d->outcome = Outcome::NoReader;
        d->error = QCoreApplication::translate("DigitalDialog", "Nenhum leitor biométrico encontrado.");
        d->finish();
        return;
    }
    if (d->cancellable)
        g_object_unref(d->cancellable);
    d->cancellable = g_cancellable_new();
    d->running = true;
    fp_device_open(d->device, d->cancellable, &Private::opened, d->newCall());
}

void FingerprintEnrolment::cancel() {
    if (!d->running || d->cancelling)
        return;
    d->cancelling = true;
    g_cancellable_cancel(d->cancellable);
}

bool FingerprintEnrolment::isRunning() const {
    return d->running;
}

bool FingerprintEnrolment::isCancelling() const {
    return d->running && d->cancelling;
}

FingerprintEnrolment::Outcome FingerprintEnrolment::outcome() const {
    return d->outcome;
}

QStringList FingerprintEnrolment::templates() const {
    return d->outcome == Outcome::Captured ? d->templates : QStringList();
}

QString FingerprintEnrolment::errorText() const {
    return d->error;
}

QString FingerprintEnrolment::fingerName(int finger) {
    switch (finger < 0 || finger >= kFingerCount ? FP_FINGER_UNKNOWN : kFingers[finger]) {
    case FP_FINGER_RIGHT_INDEX:
        return QCoreApplication::translate("DigitalDialog", "indicador direito");
    case FP_FINGER_LEFT_INDEX:
        return QCoreApplication::translate("DigitalDialog", "indicador esquerdo");
    default:
        return QString();
    }
}

} // namespace cadcons
