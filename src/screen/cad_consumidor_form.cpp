#include "screen/cad_consumidor_form.h"

#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <stdexcept>
#include <vector>

namespace cadcons {

using registration::fieldCatalogue;
using registration::fieldSpec;
using registration::FieldSpec;
using registration::kFieldCount;

namespace {

constexpr int kFormWidth = 740;
constexpr int kFormHeight = 641;

// Colour values of the design (0x00BBGGRR).
constexpr unsigned kClBlack = 0x000000;
constexpr unsigned kClGray = 0x808080;
constexpr unsigned kClWhite = 0xFFFFFF;
constexpr unsigned kFrameColour = 2907084;   // the form's border
constexpr unsigned kConfirmColour = 6610210; // the confirm key

// The design puts black captions on the fields' area; the form itself is black, so the fields sit on a
// light panel or the captions could not be read.
const QColor kPanelColour(236, 236, 236);

QFont arial(int pixelSize, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    widget->setPalette(pal);
}

// Every label of the screen shows plain text: a typed or stored "<" must never turn a value into markup.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry, const QFont& font,
                  const QColor& colour, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    setTextColour(label, colour);
    return label;
}

QLabel* makeCaption(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    return makeLabel(parent, name, text, geometry, arial(13, true), colorFromBgr(kClBlack));
}

TBlendedShape* makeShape(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour) {
    auto* shape = new TBlendedShape(parent);
    shape->setObjectName(QLatin1String(name));
    shape->setGeometry(geometry);
    shape->setBrushColor(colour);
    return shape;
}

// A 23 x 23 mark image; the picture is stretched to fit. The white box keeps an unmarked choice
// visible as a place to touch, although its picture is empty.
QLabel* makeMarkImage(QWidget* parent, const char* name, QPoint topLeft, const QPixmap& picture) {
    auto* image = new QLabel(parent);
    image->setObjectName(QLatin1String(name));
    image->setGeometry(QRect(topLeft, QSize(23, 23)));
    image->setScaledContents(true);
    image->setAutoFillBackground(true);
    QPalette pal = image->palette();
    pal.setColor(QPalette::Window, Qt::white);
    image->setPalette(pal);
    image->setPixmap(picture);
    return image;
}

// The four rows of character keys, 60 pixels apart from the left edge.
struct KeyRow {
    int top;
    const char* names[10];
    const char* chars[10];
};
const KeyRow kKeyRows[] = {
    {398,
     {"sbt1", "sbt2", "sbt3", "sbt4", "sbt5", "sbt6", "sbt7", "sbt8", "sbt9", "sbt0"},
     {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"}},
    {446,
     {"sbtq", "sbtw", "sbte", "sbtr", "sbtt", "sbty", "sbtu", "sbti", "sbto", "sbtp"},
     {"q", "w", "e", "r", "t", "y", "u", "i", "o", "p"}},
    {494,
     {"sbta", "sbts", "sbtd", "sbtf", "sbtg", "sbth", "sbtj", "sbtk", "sbtl", "sbtCCdil"},
     {"a", "s", "d", "f", "g", "h", "j", "k", "l", "ç"}},
    {542,
     {"sbtz", "sbtx", "sbtc", "sbtv", "sbtb", "sbtn", "sbtm", "sbtvirgula", "sbtponto", "sbtBarra"},
     {"z", "x", "c", "v", "b", "n", "m", ",", ".", "/"}},
};

// The 2-pixel border of the form, drawn above everything and transparent to the operator's touches.
class FormBorder : public QWidget {
public:
    explicit FormBorder(QWidget* parent)
        : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(colorFromBgr(kFrameColour), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

// The named label of the form; throws std::logic_error when the form has none.
QLabel* namedLabel(const QWidget* form, const char* objectName) {
    auto* found = form->findChild<QLabel*>(QLatin1String(objectName));
    if (!found)
        throw std::logic_error(std::string("The registration form has no label ") + objectName);
    return found;
}

// Sex and the four option flags.
void buildChoices(QWidget* form) {
    const QColor gray = colorFromBgr(kClGray);
    const QColor white = colorFromBgr(kClWhite);
    // Sex: two rounded buttons, each inside a border, holding a mark image and its caption.
    const QPixmap mark = glyphs::checkMark();
    makeCaption(form, "lblSexo", QStringLiteral("Sexo"), QRect(10, 65, 40, 18));
    makeShape(form, "blsBordaSexoFem", QRect(52, 56, 118, 30), gray);
    makeShape(form, "bldFeminino", QRect(54, 58, 114, 26), white);
    makeMarkImage(form, "imgFeminino", QPoint(58, 60), mark);
    makeCaption(form, "lblFeminino", QStringLiteral("Feminino"), QRect(84, 58, 82, 26));
    makeShape(form, "blsBordaSexoMasc", QRect(176, 56, 118, 30), gray);
    makeShape(form, "bldMasculino", QRect(178, 58, 114, 26), white);
    makeMarkImage(form, "imgMasculino", QPoint(182, 60), mark);
    makeCaption(form, "lblMasculino", QStringLiteral("Masculino"), QRect(208, 58, 84, 26));

    // Option flags: two rows of two, each a caption followed by its mark image.
    for (const registration::OptionSpec& option : registration::optionCatalogue()) {
        makeCaption(form, option.caption, QString::fromUtf8(option.captionText), option.captionGeometry);
        makeMarkImage(form, option.image, option.imageAt, mark);
    }
}

// The mark pictures, the screen code and the border.
void buildFooter(QWidget* form) {
    const QPixmap mark = glyphs::checkMark();
    // The two pictures a mark image copies from; never shown themselves.
    auto* marked = new QLabel(form);
    marked->setObjectName(QStringLiteral("imgMarcado"));
    marked->setGeometry(0, 0, 43, 29);
    marked->setPixmap(mark);
    marked->hide();
    auto* unmarked = new QLabel(form);
    unmarked->setObjectName(QStringLiteral("imgDesmarcado"));
    unmarked->setGeometry(0, 0, 43, 29);
    unmarked->hide();

    // The screen code sits at the bottom right of the fields' area: the keyboard takes the whole width of
    // the form's last rows, where a label would hide under the keys.
    makeLabel(form, "lblCodTela", QStringLiteral("Lum52816"), QRect(380, 371, 350, 14), arial(11, false),
              colorFromBgr(kClGray), Qt::AlignRight | Qt::AlignVCenter);

    // Shown only when the database did not answer at the opening: beside the screen code, left of it.
    QLabel* withoutDatabase = makeLabel(form, "lblSemBanco", QString(), QRect(380, 357, 225, 30), arial(11, true),
                                        QColor(Qt::red), Qt::AlignLeft | Qt::AlignVCenter);
    withoutDatabase->setWordWrap(true);
    withoutDatabase->hide();

    auto* border = new FormBorder(form);
    border->setObjectName(QStringLiteral("Shape1"));
    border->setGeometry(form->rect());
}

// The glyphs and the confirm key's colour.
void decorateKeys(QWidget* form) {
    form->findChild<TBlendedBitBtn*>(QStringLiteral("sbpDigital"))->setGlyph(glyphs::fingerprint());
    form->findChild<TBlendedBitBtn*>(QStringLiteral("sbtBackSpace"))->setGlyph(glyphs::backspace());
    form->findChild<TBlendedBitBtn*>(QStringLiteral("sbtLimpar"))->setGlyph(glyphs::clearField());
    form->findChild<TBlendedBitBtn*>(QStringLiteral("lblSair"))->setGlyph(glyphs::exitDoor());
    auto* confirm = form->findChild<TBlendedBitBtn*>(QStringLiteral("sbtConfirma"));
    confirm->setGlyph(glyphs::confirm());
    confirm->setColor(colorFromBgr(kConfirmColour));
}

} // namespace

TfrmCadastroConsumidor::TfrmCadastroConsumidor(TrdmCadConsumidor& service, const QString& hostDirectory,
                                               QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog)
    , registration_(std::make_unique<Registration>(service, static_cast<RegistrationOperator&>(*this), hostDirectory))
    , lists_(registration_->lists)
    , consumer(registration_->consumer) {
    setObjectName(QStringLiteral("frmCadastroConsumidor"));
    setFixedSize(kFormWidth, kFormHeight);
    setModal(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colorFromBgr(kClBlack)); // the system's button-text colour
    setPalette(pal);
    setAutoFillBackground(true);

    buildForm();
    buildKeyboard();
    bindClicks();

    // The form takes every key itself; no child may hold the focus.
    for (QWidget* child : findChildren<QWidget*>())
        child->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    // Dead keys and compose sequences reach the form composed, as input-method text.
    setAttribute(Qt::WA_InputMethodEnabled);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    mudaCor();
}

TfrmCadastroConsumidor::~TfrmCadastroConsumidor() = default;

void TfrmCadastroConsumidor::buildForm() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlCampos"));
    panel->setGeometry(2, 2, kFormWidth - 4, 390);
    panel->setAutoFillBackground(true);
    QPalette panelPalette = panel->palette();
    panelPalette.setColor(QPalette::Window, kPanelColour);
    panel->setPalette(panelPalette);

    const QColor gray = colorFromBgr(kClGray);
    const QColor white = colorFromBgr(kClWhite);

    // The name field is drawn inside a border of the form's colour.
    const QRect nameFrame = fieldSpec(registration::Nome)->frameGeometry;
    makeShape(this, "bdsBordaNome", nameFrame.adjusted(-2, -2, 2, 2), colorFromBgr(kFrameColour));

    for (const FieldSpec& field : fieldCatalogue()) {
        const auto index = static_cast<size_t>(field.number - 1);
        makeCaption(this, field.captionLabel, QString::fromUtf8(field.caption), field.captionGeometry);
        fieldFrames_[index] = makeShape(this, field.frame, field.frameGeometry, white);
        // The value label leaves a margin of its frame free, so a touch on a frame's edge reaches the frame.
        const bool bold = field.number == registration::CodCons || field.number == registration::Nome ||
                          field.number == registration::Cliente;
        const int size = field.number == registration::Cliente ? 13 : 11;
        QLabel* text =
            makeLabel(this, field.textLabel, QLatin1String(field.textLabel), field.frameGeometry.adjusted(6, 2, -6, -2),
                      arial(size, bold), gray, field.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        text->setProperty("Tag", field.number);
        fieldLabels_[index] = text;
    }
    buildChoices(this);
    buildFooter(this);
}

void TfrmCadastroConsumidor::buildKeyboard() {
    struct Key {
        const char* name;
        const char* caption;
        int left;
        int top;
        int width;
        int fontSize;
        std::function<void()> handler;
    };
    const auto post = [this](const char* ch) { return [this, ch] { entry_.postChar(QString::fromUtf8(ch)); }; };
    const auto call = [this](void (TfrmCadastroConsumidor::*handler)()) {
        return [this, handler] { (this->*handler)(); };
    };
    const auto type = [this](void (FormEntry::*handler)()) { return [this, handler] { (entry_.*handler)(); }; };

    std::vector<Key> keys;
    const auto row = [&](const KeyRow& keyRow) {
        for (size_t i = 0; i < std::size(keyRow.names); ++i)
            keys.push_back(
                {keyRow.names[i], keyRow.chars[i], 10 + 60 * int(i), keyRow.top, 60, 24, post(keyRow.chars[i])});
    };

    row(kKeyRows[0]);
    keys.push_back({"sbpDigital", "Cap. Digital", 610, 398, 124, 13, call(&TfrmCadastroConsumidor::sbpDigitalClick)});
    row(kKeyRows[1]);
    keys.push_back({"sbtArroba", "@", 610, 446, 60, 21, type(&FormEntry::sbtArrobaClick)});
    keys.push_back({"sbtBackSpace", "", 670, 446, 64, 24, type(&FormEntry::sbtBackSpaceClick)});
    row(kKeyRows[2]);
    keys.push_back({"sbt_", "_", 610, 494, 60, 24, type(&FormEntry::sbt_Click)});
    keys.push_back({"sbtLimpar", "", 670, 494, 64, 24, type(&FormEntry::sbtLimparClick)});
    row(kKeyRows[3]);
    keys.push_back({"sbtEnter", "Enter", 610, 542, 124, 21, type(&FormEntry::sbtEnterClick)});
    keys.push_back({"lblSair", "", 10, 590, 60, 24, call(&TfrmCadastroConsumidor::lblSairClick)});
    keys.push_back({"sbtShift", "Shift", 70, 590, 60, 16, type(&FormEntry::sbtShiftClick)});
    keys.push_back({"sbtespaco", "", 130, 590, 300, 24, type(&FormEntry::sbtEspacoClick)});
    keys.push_back({"sbtCapsLock", "Caps Lock", 430, 590, 120, 16, type(&FormEntry::sbtCapsLockClick)});
    keys.push_back({"sbtContraBarra", "\\", 550, 590, 60, 24, post("\\")});
    keys.push_back({"sbtConfirma", "", 610, 590, 124, 24, call(&TfrmCadastroConsumidor::sbtConfirmaClick)});

    const QColor grey(128, 128, 128);
    for (Key& key : keys) {
        auto* button = new TBlendedBitBtn(this);
        button->setObjectName(QLatin1String(key.name));
        button->setCaption(QString::fromUtf8(key.caption));
        button->setGeometry(key.left, key.top, key.width, 48);
        button->setFont(arial(key.fontSize, false));
        button->setColor(grey);
        connect(button, &TBlendedBitBtn::clicked, this, [this, handler = std::move(key.handler)] { guarded(handler); });
    }
    decorateKeys(this);
}

void TfrmCadastroConsumidor::bindClicks() {
    for (const FieldSpec& field : fieldCatalogue()) {
        const std::pair<const char*, registration::Field> controls[] = {{field.captionLabel, field.captionSelects},
                                                                        {field.frame, field.frameSelects},
                                                                        {field.textLabel, field.textSelects}};
        for (const auto& [control, selects] : controls) {
            if (selects != registration::NoField)
                bindClick(control, [this, selects = selects] { fieldTouched(selects); });
        }
    }
    for (const registration::OptionSpec& option : registration::optionCatalogue()) {
        for (const char* control : {option.image, option.caption})
            bindClick(control, [this, &option] { toggleOption(option); });
    }
    for (const char* control : {"imgFeminino", "bldFeminino", "lblFeminino"})
        bindClick(control, [this] { bldFemininoClick(); });
    for (const char* control : {"imgMasculino", "bldMasculino", "lblMasculino"})
        bindClick(control, [this] { bldMasculinoClick(); });
}

void TfrmCadastroConsumidor::bindClick(const char* objectName, std::function<void()> handler) {
    auto* control = findChild<QWidget*>(QLatin1String(objectName));
    if (!control)
        throw std::logic_error(std::string("The registration form has no control ") + objectName);
    control->installEventFilter(this);
    clickHandlers_.insert(QLatin1String(objectName), std::move(handler));
}

// A click is a left press and a release inside the same control, as the touch screen gives them. A
// double tap is two clicks.
bool TfrmCadastroConsumidor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return QDialog::eventFilter(watched, event);
    auto* control = qobject_cast<QWidget*>(watched);
    const auto handler = clickHandlers_.constFind(watched->objectName());
    if (!control || handler == clickHandlers_.cend())
        return QDialog::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return true;
    if (type != QEvent::MouseButtonRelease) {
        pressedControl_ = control;
        return true;
    }
    const bool clicked = pressedControl_ == control && control->rect().contains(mouse->position().toPoint());
    pressedControl_ = nullptr;
    if (clicked) {
        const std::function<void()> run = *handler; // the handler may rebind or close the form
        guarded(run);
    }
    return true;
}

void TfrmCadastroConsumidor::guarded(const std::function<void()>& handler) {
    const QString& schema = registration_->stIdEsquema;
    try {
        handler();
    } catch (const ShownError&) {
        // The operator has been told already; once is enough.
    } catch (const std::exception& e) {
        Mensagem(QString::fromUtf8(e.what()), QString(), QStringLiteral("N"), QStringLiteral("N"), kMsgErro, QString(),
                 schema, 0, nullptr);
    }
}

// --- life of a call

void TfrmCadastroConsumidor::FormCreate() {
    Trad(this);
}

void TfrmCadastroConsumidor::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TfrmCadastroConsumidor::FormClose() {
    // A call's passwords and fingerprints do not outlive its screen.
    registration_->clearSecrets();
}

void TfrmCadastroConsumidor::lblSairClick() {
    registration_->leave();
    close();
}

void TfrmCadastroConsumidor::InicializaForm(const QString& code, const QString& name, const QString& customer,
                                            const QString& mode) {
    entry_.setCapsLock(false);
    entry_.setShift(false);
    try {
        registration_->InicializaForm(code, name, customer, mode);
    } catch (...) {
        showRegistration();
        throw;
    }
    showRegistration();
    QLabel* footer = namedLabel(this, "lblCodTela");
    footer->setText(MontaRodapeGeral(registration_->boUtilizaImpFis, footer->text(), QStringLiteral("S")));
}

void TfrmCadastroConsumidor::showRegistration() {
    for (const FieldSpec& spec : fieldCatalogue())
        fieldLabel(spec.number)->setText(registration_->fieldText(spec.number));
    if (consumer.stIdSexoCons.isEmpty())
        return; // the opening stopped before the consumer: options and sex as the form was built
    for (const registration::OptionSpec& option : registration::optionCatalogue())
        namedLabel(this, option.image)->setPixmap(mark(registration_->optionOn(option)));
    showSex();
}

void TfrmCadastroConsumidor::showSex() {
    const bool female = consumer.stIdSexoCons == QLatin1String("F");
    namedLabel(this, "imgFeminino")->setPixmap(mark(female));
    namedLabel(this, "imgMasculino")->setPixmap(mark(!female));
}

void TfrmCadastroConsumidor::keyPressEvent(QKeyEvent* event) {
    entry_.keyPress(event);
}

void TfrmCadastroConsumidor::inputMethodEvent(QInputMethodEvent* event) {
    entry_.inputMethod(event);
}

bool TfrmCadastroConsumidor::ask(const QString& text, const QString& details, const QString& esquema) {
    return Mensagem(text, details, QStringLiteral("S"), QStringLiteral("S"), kMsgPergunta, QString(), esquema, 0,
                    nullptr);
}

void TfrmCadastroConsumidor::tell(const QString& text, const QString& details, int kind, const QString& esquema,
                                  int number) {
    Mensagem(text, details, QStringLiteral("N"), QStringLiteral("N"), kind, QString(), esquema, number, nullptr);
}

void TfrmCadastroConsumidor::moveTo(int field) {
    selectField(field);
}

void TfrmCadastroConsumidor::showWithoutDatabase(const QString& text) {
    QLabel* notice = namedLabel(this, "lblSemBanco");
    notice->setText(text);
    notice->show();
}

// Questions (kind 1) carry "S" in both flags; every other kind "N".
bool TfrmCadastroConsumidor::showMessage(const QString& key, int kind, const QString& esquema, const QString& details) {
    return registration_->showMessage(key, kind, esquema, details);
}

// --- fields and highlight

QLabel* TfrmCadastroConsumidor::fieldLabel(int number) const {
    return fieldSpec(number) ? fieldLabels_[static_cast<size_t>(number - 1)] : nullptr;
}

TBlendedShape* TfrmCadastroConsumidor::fieldFrame(int number) const {
    return fieldSpec(number) ? fieldFrames_[static_cast<size_t>(number - 1)] : nullptr;
}

QString TfrmCadastroConsumidor::fieldText(int number) const {
    return registration_->fieldText(number);
}

void TfrmCadastroConsumidor::setFieldText(int number, const QString& text) {
    registration_->setFieldText(number, text);
    if (QLabel* target = fieldLabel(number))
        target->setText(text);
}

void TfrmCadastroConsumidor::mudaCor() {
    const QColor gray = colorFromBgr(kClGray);
    for (int n = 1; n <= kFieldCount; ++n) {
        setTextColour(fieldLabel(n), gray);
        fieldFrame(n)->setBrushColor(colorFromBgr(kClWhite));
    }
    if (fieldSpec(inCampoAtivo)) {
        setTextColour(fieldLabel(inCampoAtivo), colorFromBgr(kClBlack));
        fieldFrame(inCampoAtivo)->setBrushColor(gray);
    }
    // An input method hides what it shows of a password field and places its window by the field.
    if (QGuiApplication::focusObject() == this)
        QGuiApplication::inputMethod()->update(Qt::ImHints | Qt::ImCursorRectangle);
}

void TfrmCadastroConsumidor::selectField(int number) {
    inCampoAtivo = number;
    mudaCor();
}

// A touch on a field: a field chosen from a list opens its picker, which selects the field first.
void TfrmCadastroConsumidor::fieldTouched(registration::Field field) {
    if (const FieldSpec* spec = fieldSpec(field); spec && spec->picker != registration::Picker::None)
        lookups_.openPicker(spec->picker);
    else
        selectField(field);
}

// --- option flags and sex

// The mark picture, or the empty one.
QPixmap TfrmCadastroConsumidor::mark(bool on) const {
    return on ? namedLabel(this, "imgMarcado")->pixmap() : QPixmap();
}

void TfrmCadastroConsumidor::toggleOption(const registration::OptionSpec& option) {
    registration_->toggleOption(option);
    namedLabel(this, option.image)->setPixmap(mark(registration_->optionOn(option)));
}

void TfrmCadastroConsumidor::bldFemininoClick() {
    if (registration_->chooseSex(QStringLiteral("F")))
        showSex();
}

void TfrmCadastroConsumidor::bldMasculinoClick() {
    if (registration_->chooseSex(QStringLiteral("M")))
        showSex();
}

} // namespace cadcons
