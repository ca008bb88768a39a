#include "widgets/dialogs.h"

#include "widgets/dialog_support.h"

#include "config/host_config.h"
#include "config/logging.h"
#include "widgets/blended.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QScroller>
#include <QThread>
#include <QTranslator>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace cadcons {

namespace {

// Sizes for a finger on a touch terminal.
constexpr int kTextWidth = 460;     // width of the message text
constexpr int kMaxTextHeight = 300; // taller texts scroll
constexpr int kIconSize = 56;
constexpr int kButtonWidth = 132;
constexpr int kButtonHeight = 64;
constexpr int kBorder = 3;

struct KindLook {
    QString title;
    QColor strip;
    QColor stripText;
};

// Any kind other than a question or an error is shown as a notice.
KindLook lookOf(int kind) {
    switch (kind) {
    case kMsgPergunta:
        return {QCoreApplication::translate("Mensagem", "Pergunta"), QColor(255, 176, 0), QColor(33, 33, 33)};
    case kMsgErro:
        return {QCoreApplication::translate("Mensagem", "Erro"), QColor(198, 40, 40), Qt::white};
    default:
        return {QCoreApplication::translate("Mensagem", "Informação"), QColor(21, 101, 192), Qt::white};
    }
}

QPixmap kindIcon(int kind, const KindLook& look) {
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(look.strip);
    p.drawEllipse(QRectF(1, 1, kIconSize - 2, kIconSize - 2));
    const qreal c = kIconSize / 2.0;
    if (kind == kMsgPergunta) {
        QPainterPath hook;
        hook.moveTo(c - 8, c - 7);
        hook.cubicTo(c - 8, c - 17, c + 9, c - 17, c + 9, c - 7);
        hook.cubicTo(c + 9, c - 1, c, c, c, c + 6);
        p.strokePath(hook, QPen(look.stripText, 5.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(look.stripText);
        p.drawEllipse(QPointF(c, c + 15), 3.6, 3.6);
    } else if (kind == kMsgErro) {
        p.setPen(QPen(look.stripText, 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c - 10, c - 10), QPointF(c + 10, c + 10));
        p.drawLine(QPointF(c + 10, c - 10), QPointF(c - 10, c + 10));
    } else {
        p.setBrush(look.stripText);
        p.drawEllipse(QPointF(c, c - 14), 3.8, 3.8);
        p.drawRoundedRect(QRectF(c - 3.5, c - 5, 7, 22), 3, 3);
    }
    return pm;
}

QString buttonStyle(const QColor& face, const QColor& text) {
    return QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 8px;"
                          " font: bold 20px; padding: 0 12px; }"
                          "QPushButton:pressed, QPushButton:checked { background: black; color: white; }")
        .arg(face.name(), text.name());
}

// Details arrive one item per line; a Windows line end must not leave a stray character behind.
QString detailLines(const QString& details) {
    QString out = details;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

// A label breaks lines only between words, so a long path or identifier in an error text would run
// out of the dialog. Zero-width spaces give such a run places to break: after separators, and at
// least every 20 characters.
QString breakable(const QString& text) {
    constexpr int kLongRun = 20;
    const QChar zwsp(0x200B);
    QString out;
    out.reserve(text.size() + text.size() / 8);
    int run = 0;
    for (const QChar ch : text) {
        out += ch;
        if (ch.isSpace()) {
            run = 0;
            continue;
        }
        ++run;
        if (run >= kLongRun || (run > 1 && QStringLiteral("/\\_.-:;,=").contains(ch))) {
            out += zwsp;
            run = 0;
        }
    }
    return out;
}

class MensagemDialog : public QDialog {
public:
    MensagemDialog(const MensagemArgs& args, QWidget* parent)
        : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
        , kind_(args.kind)
        , look_(lookOf(args.kind)) {
        setModal(true);
        setWindowTitle(look_.title);
        setObjectName(QStringLiteral("mensagemDialog"));
        // The dialog takes the keys itself; no child may hold the focus and swallow Enter or Escape.
        setFocusPolicy(Qt::StrongFocus);

        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
        outer->setSpacing(0);
        outer->setSizeConstraint(QLayout::SetFixedSize);
        outer->addWidget(makeTitle());

        auto* body = new QVBoxLayout;
        body->setContentsMargins(20, 20, 20, 16);
        body->setSpacing(16);
        outer->addLayout(body);
        body->addLayout(makeMessageRow(args.text));
        addDetails(body, args.details);
        body->addLayout(makeButtonRow());
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        // A repeat belongs to the key that was held when the message opened, not to an answer.
        if (e->isAutoRepeat()) {
            e->accept();
            return;
        }
        switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            return;
        case Qt::Key_Escape:
            reject();
            return;
        case Qt::Key_S:
            if (kind_ == kMsgPergunta) {
                accept();
                return;
            }
            break;
        case Qt::Key_N:
            if (kind_ == kMsgPergunta) {
                reject();
                return;
            }
            break;
        default:
            break;
        }
        e->accept(); // nothing reaches the screen behind a modal message
    }

    void showEvent(QShowEvent* e) override {
        QDialog::showEvent(e);
        centre();
        activateWindow();
        setFocus(Qt::ActiveWindowFocusReason);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(QPen(look_.strip, kBorder * 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect());
    }

private:
    // The coloured strip on top, with the kind's title.
    QLabel* makeTitle() {
        auto* title = new QLabel(look_.title, this);
        title->setObjectName(QStringLiteral("mensagemTitulo"));
        title->setAutoFillBackground(true);
        QPalette tp = title->palette();
        tp.setColor(QPalette::Window, look_.strip);
        tp.setColor(QPalette::WindowText, look_.stripText);
        title->setPalette(tp);
        QFont tf = title->font();
        tf.setPixelSize(20);
        tf.setBold(true);
        title->setFont(tf);
        title->setContentsMargins(16, 10, 16, 10);
        return title;
    }

    // The kind's icon beside the message text.
    QHBoxLayout* makeMessageRow(const QString& message) {
        auto* row = new QHBoxLayout;
        row->setSpacing(18);
        auto* icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("mensagemIcone"));
        icon->setPixmap(kindIcon(kind_, look_));
        icon->setFixedSize(kIconSize, kIconSize);
        row->addWidget(icon, 0, Qt::AlignTop);

        auto* text = new QLabel(breakable(message), this);
        text->setObjectName(QStringLiteral("mensagemTexto"));
        text->setTextFormat(Qt::PlainText); // error texts may hold '<' and must show as they are
        text->setWordWrap(true);
        QFont f = text->font();
        f.setPixelSize(20);
        text->setFont(f);
        text->setFixedWidth(kTextWidth);
        const int textHeight = text->heightForWidth(kTextWidth);
        if (textHeight > kMaxTextHeight) {
            row->addWidget(scrolled(text, textHeight));
        } else {
            text->setMinimumHeight(std::max(textHeight, kIconSize));
            row->addWidget(text);
        }
        return row;
    }

    // A text taller than kMaxTextHeight scrolls under the finger inside a pane of that height.
    QScrollArea* scrolled(QLabel* text, int textHeight) {
        auto* scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setFocusPolicy(Qt::NoFocus);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(text);
        // The text reads on the dialog's white, not on a grey scroll pane.
        scroll->viewport()->setAutoFillBackground(false);
        text->setAutoFillBackground(false);
        scroll->setFixedSize(kTextWidth + scroll->verticalScrollBar()->sizeHint().width() + 4, kMaxTextHeight);
        text->setFixedHeight(textHeight);
        QScroller::grabGesture(scroll->viewport(), QScroller::LeftMouseButtonGesture);
        return scroll;
    }

    // The details pane, hidden until "Detalhes" is pressed; none when the details are blank.
    void addDetails(QVBoxLayout* body, const QString& rawDetails) {
        const QString details = detailLines(rawDetails);
        if (details.trimmed().isEmpty())
            return;
        details_ = new QPlainTextEdit(this);
        details_->setObjectName(QStringLiteral("mensagemDetalhes"));
        details_->setReadOnly(true);
        details_->setFocusPolicy(Qt::NoFocus);
        details_->setTextInteractionFlags(Qt::NoTextInteraction);
        details_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        details_->setPlainText(details);
        QFont df = details_->font();
        df.setPixelSize(17);
        details_->setFont(df);
        details_->setFixedHeight(160);
        QScroller::grabGesture(details_->viewport(), QScroller::LeftMouseButtonGesture);
        details_->hide();
        body->addWidget(details_);
    }

    // "Detalhes" on the left when there are details; "Sim" and "Não" for a question, else "OK", on the right.
    QHBoxLayout* makeButtonRow() {
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(12);
        if (details_) {
            auto* more = makeButton(QStringLiteral("btnDetalhes"), QCoreApplication::translate("Mensagem", "Detalhes"),
                                    QColor(110, 110, 110), Qt::white);
            more->setCheckable(true);
            connect(more, &QPushButton::toggled, this, [this](bool on) { showDetails(on); });
            buttons->addWidget(more);
        }
        buttons->addStretch(1);
        if (kind_ == kMsgPergunta) {
            auto* yes = makeButton(QStringLiteral("btnSim"), QCoreApplication::translate("Mensagem", "Sim"),
                                   QColor(34, 160, 70), Qt::white);
            auto* no = makeButton(QStringLiteral("btnNao"), QCoreApplication::translate("Mensagem", "Não"),
                                  QColor(110, 110, 110), Qt::white);
            connect(yes, &QPushButton::clicked, this, &QDialog::accept);
            connect(no, &QPushButton::clicked, this, &QDialog::reject);
            buttons->addWidget(yes);
            buttons->addWidget(no);
        } else {
            auto* ok = makeButton(QStringLiteral("btnOk"), QStringLiteral("OK"), look_.strip, look_.stripText);
            connect(ok, &QPushButton::clicked, this, &QDialog::accept);
            buttons->addWidget(ok);
        }
        return buttons;
    }

    QPushButton* makeButton(const QString& name, const QString& caption, const QColor& face, const QColor& text) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        b->setMinimumSize(kButtonWidth, kButtonHeight);
        b->setStyleSheet(buttonStyle(face, text));
        return b;
    }

    void showDetails(bool on) {
        if (!details_)
            return;
        details_->setVisible(on);
        layout()->activate();
        centre();
    }

    void centre() { centreDialog(this); }

    int kind_;
    KindLook look_;
    QPlainTextEdit* details_ = nullptr;
};

// Without a dialog the message goes to the error output, so it is not lost.

void writeToStderr(const MensagemArgs& args) {
    QString out = QStringLiteral("cadcons: %1: %2\n").arg(lookOf(args.kind).title, args.text);
    const QString details = detailLines(args.details).trimmed();
    if (!details.isEmpty()) {
        for (const QString& line : details.split(QLatin1Char('\n')))
            out += QStringLiteral("  %1\n").arg(line);
    }
    std::fputs(out.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

bool showMensagemDialog(const MensagemArgs& args, QWidget* parent) {
    if (!canShowDialog()) {
        writeToStderr(args);
        return false;
    }
    OverrideCursorLift lift;
    // The parent may go away while the message is up; the guard keeps us from touching a deleted dialog.
    QPointer<MensagemDialog> dialog = new MensagemDialog(args, parent);
    const bool confirmed = dialog->exec() == QDialog::Accepted;
    delete dialog.data();
    // Only a question has an answer. A notice or an error is acknowledged however it is closed (its
    // button, Enter, Escape, the window), so the way it was closed can never change what follows.
    return args.kind == kMsgPergunta ? confirmed : true;
}

MensagemFn& mensagemHandler() {
    static MensagemFn handler = [](const MensagemArgs& args) {
        QWidget* parent = canShowDialog() ? QApplication::activeWindow() : nullptr;
        return showMensagemDialog(args, parent);
    };
    return handler;
}

bool Mensagem(const QString& text, const QString& details, const QString& flag1, const QString& flag2, int kind,
              const QString& extra, const QString& esquema, int number, ClientDataSet* dataset) {
    const MensagemArgs args{text, details, flag1, flag2, kind, extra, esquema, number, dataset};
    OverrideCursorLift lift;
    const MensagemFn& handler = mensagemHandler();
    if (!handler)
        return showMensagemDialog(args, canShowDialog() ? QApplication::activeWindow() : nullptr);
    return handler(args);
}

DataPacket MensagemMetodo(const ServiceResult& result, bool show, int number, const QString& operation,
                          const QString& module, const QString& context, const QString& esquema) {
    if (const auto* packet = std::get_if<DataPacket>(&result))
        return *packet;
    const std::optional<ServiceFailure> failure = serviceFailure(result, operation, module, context);
    if (!failure)
        return {};
    if (show)
        Mensagem(failure->text, failure->details, QStringLiteral("N"), QStringLiteral("N"), kMsgErro, QString(),
                 esquema, number, nullptr);
    throw MensagemMetodoError(failure->text.toStdString());
}

// "S" adds the module's version, any other flag leaves it out; with a fiscal printer " - ECF" follows.
// A caption that is already a footer is first brought back to its screen code, so building twice
// gives the same text.
QString MontaRodapeGeral(bool utilizaImpFis, const QString& caption, const QString& flag) {
    static const QRegularExpression built(QStringLiteral("( - cadcons \\S+)?( - ECF)?$"));
    QString code = caption;
    code.remove(built);
    code = code.trimmed();

    QStringList parts;
    if (!code.isEmpty())
        parts << code;
    if (flag.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0)
        parts << QStringLiteral("cadcons " CADCONS_VERSION);
    if (utilizaImpFis)
        parts << QStringLiteral("ECF");
    return parts.join(QLatin1String(" - "));
}

namespace {

// The language the host asked for, else the system's; a module translation is installed when one
// ships for it, and the system's own Portuguese texts stay otherwise.
void installModuleTranslator() {
    static QTranslator* installed = nullptr;
    static QString installedFor;
    const QString asked = hostLanguage();
    const QLocale locale = asked.isEmpty() ? QLocale::system() : QLocale(asked);
    const QString key = asked.isEmpty() ? locale.uiLanguages().join(u',') : asked;
    if (installed && key == installedFor)
        return;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    installedFor = key;
    auto translator = std::make_unique<QTranslator>();
    if (!asked.isEmpty() && locale.language() == QLocale::Portuguese)
        return;
    if (translator->load(locale, QStringLiteral("cadcons"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
        qCDebug(lcScreen).noquote() << "captions translated by" << translator->filePath();
        installed = translator.release();
        QCoreApplication::installTranslator(installed);
    }
}

// A translated caption may be longer than the Portuguese one its label was sized for.
void shrinkToFit(QLabel* label) {
    if (label->wordWrap())
        return;
    QFont font = label->font();
    const bool pixels = font.pixelSize() > 0;
    int size = pixels ? font.pixelSize() : font.pointSize();
    while (size > 7 && QFontMetrics(font).horizontalAdvance(label->text()) > label->contentsRect().width()) {
        --size;
        pixels ? font.setPixelSize(size) : font.setPointSize(size);
    }
    label->setFont(font);
}

} // namespace

void Trad(QWidget* form) {
    if (!form)
        return;
    installModuleTranslator();
    static constexpr const char* kContext = "TfrmCadastroConsumidor";
    auto tr = [](const QString& source) { return QCoreApplication::translate(kContext, source.toUtf8().constData()); };
    for (QLabel* label : form->findChildren<QLabel*>()) {
        const QString text = label->text();
        if (text.isEmpty())
            continue;
        const QString translated = tr(text);
        if (translated != text) {
            label->setText(translated);
            shrinkToFit(label);
        }
    }
    for (TBlendedBitBtn* key : form->findChildren<TBlendedBitBtn*>()) {
        const QString caption = key->caption();
        if (caption.isEmpty())
            continue;
        const QString translated = tr(caption);
        if (translated != caption)
            key->setCaption(translated);
    }
}

} // namespace cadcons
