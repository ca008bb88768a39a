#include "screen/cad_consumidor_form.h"

#include "screen/module_state.h"
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

using screen::fieldCatalogue;
using screen::fieldSpec;
using screen::FieldSpec;
using screen::kFieldCount;

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

} // namespace

TfrmCadastroConsumidor::TfrmCadastroConsumidor(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog)
    , msgPadrao(msgPadraoRows()) {
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
    setPersistentFields();

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
    const QRect nameFrame = fieldSpec(screen::Nome)->frameGeometry;
    makeShape(this, "bdsBordaNome", nameFrame.adjusted(-2, -2, 2, 2), colorFromBgr(kFrameColour));

    for (const FieldSpec& field : fieldCatalogue()) {
        const auto index = static_cast<size_t>(field.number - 1);
        makeCaption(this, field.captionLabel, QString::fromUtf8(field.caption), field.captionGeometry);
        fieldFrames_[index] = makeShape(this, field.frame, field.frameGeometry, white);
        // The value label leaves a margin of its frame free, so a touch on a frame's edge reaches the frame.
        const bool bold =
            field.number == screen::CodCons || field.number == screen::Nome || field.number == screen::Cliente;
        const int size = field.number == screen::Cliente ? 13 : 11;
        QLabel* text =
            makeLabel(this, field.textLabel, QLatin1String(field.textLabel), field.frameGeometry.adjusted(6, 2, -6, -2),
                      arial(size, bold), gray, field.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        text->setProperty("Tag", field.number);
        fieldLabels_[index] = text;
    }
    buildChoices();
    buildFooter();
}

void TfrmCadastroConsumidor::buildChoices() {
    const QColor gray = colorFromBgr(kClGray);
    const QColor white = colorFromBgr(kClWhite);
    // Sex: two rounded buttons, each inside a border, holding a mark image and its caption.
    const QPixmap mark = glyphs::checkMark();
    makeCaption(this, "lblSexo", QStringLiteral("Sexo"), QRect(10, 65, 40, 18));
    makeShape(this, "blsBordaSexoFem", QRect(52, 56, 118, 30), gray);
    makeShape(this, "bldFeminino", QRect(54, 58, 114, 26), white);
    makeMarkImage(this, "imgFeminino", QPoint(58, 60), mark);
    makeCaption(this, "lblFeminino", QStringLiteral("Feminino"), QRect(84, 58, 82, 26));
    makeShape(this, "blsBordaSexoMasc", QRect(176, 56, 118, 30), gray);
    makeShape(this, "bldMasculino", QRect(178, 58, 114, 26), white);
    makeMarkImage(this, "imgMasculino", QPoint(182, 60), mark);
    makeCaption(this, "lblMasculino", QStringLiteral("Masculino"), QRect(208, 58, 84, 26));

    // Option flags: two rows of two, each a caption followed by its mark image.
    makeCaption(this, "Label21", QStringLiteral("Atualiza CPF Durante a Venda (F5)"), QRect(10, 298, 352, 18));
    makeMarkImage(this, "imgIDATUCPFCONS", QPoint(364, 295), mark);
    makeCaption(this, "Label22", QStringLiteral("Liberado para Consumo (F6)"), QRect(400, 298, 296, 18));
    makeMarkImage(this, "imgIDCADCONFLIBCON", QPoint(700, 295), mark);
    makeCaption(this, "Label23", QStringLiteral("Imprimir o CPF/CNPJ no Cupom Fiscal (F7)"), QRect(10, 330, 352, 18));
    makeMarkImage(this, "imgIDIMPCPFCUPOM", QPoint(364, 327), mark);
    makeCaption(this, "Label24", QStringLiteral("Verifica Saldo do Consumidor (F8)"), QRect(400, 330, 296, 18));
    makeMarkImage(this, "imgIDVERSALDCON", QPoint(700, 327), mark);
}

void TfrmCadastroConsumidor::buildFooter() {
    const QPixmap mark = glyphs::checkMark();
    // The two pictures a mark image copies from; never shown themselves.
    auto* marked = new QLabel(this);
    marked->setObjectName(QStringLiteral("imgMarcado"));
    marked->setGeometry(0, 0, 43, 29);
    marked->setPixmap(mark);
    marked->hide();
    auto* unmarked = new QLabel(this);
    unmarked->setObjectName(QStringLiteral("imgDesmarcado"));
    unmarked->setGeometry(0, 0, 43, 29);
    unmarked->hide();

    // The screen code sits at the bottom right of the fields' area: the keyboard takes the whole width of
    // the form's last rows, where a label would hide under the keys.
    makeLabel(this, "lblCodTela", QStringLiteral("Lum52816"), QRect(380, 371, 350, 14), arial(11, false),
              colorFromBgr(kClGray), Qt::AlignRight | Qt::AlignVCenter);

    auto* border = new FormBorder(this);
    border->setObjectName(QStringLiteral("Shape1"));
    border->setGeometry(rect());
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
    const auto post = [this](const char* ch) { return [this, ch] { postChar(QString::fromUtf8(ch)); }; };
    const auto call = [this](void (TfrmCadastroConsumidor::*handler)()) {
        return [this, handler] { (this->*handler)(); };
    };

    std::vector<Key> keys;
    const auto row = [&](const KeyRow& keyRow) {
        for (size_t i = 0; i < std::size(keyRow.names); ++i)
            keys.push_back(
                {keyRow.names[i], keyRow.chars[i], 10 + 60 * int(i), keyRow.top, 60, 24, post(keyRow.chars[i])});
    };

    row(kKeyRows[0]);
    keys.push_back({"sbpDigital", "Cap. Digital", 610, 398, 124, 13, call(&TfrmCadastroConsumidor::sbpDigitalClick)});
    row(kKeyRows[1]);
    keys.push_back({"sbtArroba", "@", 610, 446, 60, 21, call(&TfrmCadastroConsumidor::sbtArrobaClick)});
    keys.push_back({"sbtBackSpace", "", 670, 446, 64, 24, call(&TfrmCadastroConsumidor::sbtBackSpaceClick)});
    row(kKeyRows[2]);
    keys.push_back({"sbt_", "_", 610, 494, 60, 24, call(&TfrmCadastroConsumidor::sbt_Click)});
    keys.push_back({"sbtLimpar", "", 670, 494, 64, 24, call(&TfrmCadastroConsumidor::sbtLimparClick)});
    row(kKeyRows[3]);
    keys.push_back({"sbtEnter", "Enter", 610, 542, 124, 21, call(&TfrmCadastroConsumidor::sbtEnterClick)});
    keys.push_back({"lblSair", "", 10, 590, 60, 24, call(&TfrmCadastroConsumidor::lblSairClick)});
    keys.push_back({"sbtShift", "Shift", 70, 590, 60, 16, call(&TfrmCadastroConsumidor::sbtShiftClick)});
    keys.push_back({"sbtespaco", "", 130, 590, 300, 24, call(&TfrmCadastroConsumidor::sbtEspacoClick)});
    keys.push_back({"sbtCapsLock", "Caps Lock", 430, 590, 120, 16, call(&TfrmCadastroConsumidor::sbtCapsLockClick)});
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
    decorateKeys();
}

void TfrmCadastroConsumidor::decorateKeys() {
    findChild<TBlendedBitBtn*>(QStringLiteral("sbpDigital"))->setGlyph(glyphs::fingerprint());
    findChild<TBlendedBitBtn*>(QStringLiteral("sbtBackSpace"))->setGlyph(glyphs::backspace());
    findChild<TBlendedBitBtn*>(QStringLiteral("sbtLimpar"))->setGlyph(glyphs::clearField());
    findChild<TBlendedBitBtn*>(QStringLiteral("lblSair"))->setGlyph(glyphs::exitDoor());
    auto* confirm = findChild<TBlendedBitBtn*>(QStringLiteral("sbtConfirma"));
    confirm->setGlyph(glyphs::confirm());
    confirm->setColor(colorFromBgr(kConfirmColour));
}

void TfrmCadastroConsumidor::bindClicks() {
    for (const FieldSpec& field : fieldCatalogue()) {
        const std::pair<const char*, screen::ClickHandler> controls[] = {
            {field.captionLabel, field.onCaption}, {field.frame, field.onFrame}, {field.textLabel, field.onText}};
        for (const auto& control : controls) {
            if (const screen::ClickHandler handler = control.second)
                bindClick(control.first, [this, handler] { (this->*handler)(); });
        }
    }
    using F = TfrmCadastroConsumidor;
    const struct {
        const char* control;
        void (F::*handler)();
    } bindings[] = {
        {"imgFeminino", &F::imgFemininoClick},
        {"imgMasculino", &F::imgMasculinoClick},
        {"bldFeminino", &F::bldFemininoClick},
        {"lblFeminino", &F::bldFemininoClick},
        {"bldMasculino", &F::bldMasculinoClick},
        {"lblMasculino", &F::bldMasculinoClick},
        {"imgIDATUCPFCONS", &F::imgIDATUCPFCONSClick},
        {"Label21", &F::imgIDATUCPFCONSClick},
        {"imgIDCADCONFLIBCON", &F::imgIDCADCONFLIBCONClick},
        {"Label22", &F::imgIDCADCONFLIBCONClick},
        {"imgIDIMPCPFCUPOM", &F::imgIDIMPCPFCUPOMClick},
        {"Label23", &F::imgIDIMPCPFCUPOMClick},
        {"imgIDVERSALDCON", &F::imgIDVERSALDCONClick},
        {"Label24", &F::imgIDVERSALDCONClick},
    };
    for (const auto& binding : bindings)
        bindClick(binding.control, [this, handler = binding.handler] { (this->*handler)(); });
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
    guarded(handler, stIdEsquema);
}

void TfrmCadastroConsumidor::guarded(const std::function<void()>& handler, const QString& schema) {
    try {
        handler();
    } catch (const MensagemMetodoError&) {
        // MensagemMetodo has shown the service's error already; once is enough.
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
    boIdCriado = false;
}

void TfrmCadastroConsumidor::lblSairClick() {
    consumer.stCdConsumidor.clear();
    consumer.stNmConsumidor.clear();
    consumer.stCdCliente.clear();
    boGravou = false;
    close();
}

// --- fields and highlight

QLabel* TfrmCadastroConsumidor::label(const char* objectName) const {
    auto* found = findChild<QLabel*>(QLatin1String(objectName));
    if (!found)
        throw std::logic_error(std::string("The registration form has no label ") + objectName);
    return found;
}

QLabel* TfrmCadastroConsumidor::fieldLabel(int number) const {
    return fieldSpec(number) ? fieldLabels_[static_cast<size_t>(number - 1)] : nullptr;
}

TBlendedShape* TfrmCadastroConsumidor::fieldFrame(int number) const {
    return fieldSpec(number) ? fieldFrames_[static_cast<size_t>(number - 1)] : nullptr;
}

QString TfrmCadastroConsumidor::fieldText(int number) const {
    const QLabel* text = fieldLabel(number);
    return text ? text->text() : QString();
}

void TfrmCadastroConsumidor::setFieldText(int number, const QString& text) {
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

void TfrmCadastroConsumidor::sbtLimparClick() {
    if (const FieldSpec* spec = fieldSpec(inCampoAtivo); spec && screen::clearable(*spec))
        setFieldText(inCampoAtivo, QString());
}

void TfrmCadastroConsumidor::clearFields() {
    for (const FieldSpec& spec : fieldCatalogue()) {
        if (screen::clearable(spec))
            fieldLabel(spec.number)->clear();
    }
}

void TfrmCadastroConsumidor::selectField(int number) {
    inCampoAtivo = number;
    mudaCor();
}

// Field selection. The seven fields chosen from a list have their handlers with the pick lists (lookup/).
void TfrmCadastroConsumidor::bdsCodConsClick() {
    selectField(screen::CodCons);
}
void TfrmCadastroConsumidor::lblCodConsClick() {
    selectField(screen::CodCons);
}
void TfrmCadastroConsumidor::lblCdConsClick() {
    lblCodConsClick();
}
void TfrmCadastroConsumidor::bdsNomeClick() {
    selectField(screen::Nome);
}
void TfrmCadastroConsumidor::lblNmConsClick() {
    bdsNomeClick();
}
void TfrmCadastroConsumidor::bdsNascClick() {
    selectField(screen::Nasc);
}
void TfrmCadastroConsumidor::lblDtNascimentoClick() {
    bdsNascClick();
}
void TfrmCadastroConsumidor::bdsRgClick() {
    selectField(screen::Rg);
}
void TfrmCadastroConsumidor::bdsCpfClick() {
    selectField(screen::Cpf);
}
void TfrmCadastroConsumidor::bdsEnderecoClick() {
    selectField(screen::Endereco);
}
// Bound to the caption "Número" too: that caption selects the street address.
void TfrmCadastroConsumidor::Label6Click() {
    bdsEnderecoClick();
}
void TfrmCadastroConsumidor::bdsCepClick() {
    selectField(screen::Cep);
}
void TfrmCadastroConsumidor::bdsTelefoneClick() {
    selectField(screen::Telefone);
}
void TfrmCadastroConsumidor::lblResidencialClick() {
    bdsTelefoneClick();
}
void TfrmCadastroConsumidor::bdsComercialClick() {
    selectField(screen::TelComercial);
}
void TfrmCadastroConsumidor::bdsCelularClick() {
    selectField(screen::Celular);
}
void TfrmCadastroConsumidor::bdsEmailClick() {
    selectField(screen::Email);
}
void TfrmCadastroConsumidor::bdsCrachaClick() {
    selectField(screen::Cracha);
}
void TfrmCadastroConsumidor::bdsNMLOGINCONSClick() {
    selectField(screen::LoginCons);
}
void TfrmCadastroConsumidor::bdsCDSENHACONSClick() {
    selectField(screen::SenhaCons);
}
void TfrmCadastroConsumidor::bdsCDEXCONSUMIDClick() {
    selectField(screen::ExConsumid);
}
void TfrmCadastroConsumidor::bdsCDSENHASITEClick() {
    selectField(screen::SenhaSite);
}
void TfrmCadastroConsumidor::bdsNumeroClick() {
    selectField(screen::Numero);
}
void TfrmCadastroConsumidor::lblNumeroClick() {
    bdsNumeroClick();
}

// --- option flags and sex

QPixmap TfrmCadastroConsumidor::imgMarcado() const {
    return label("imgMarcado")->pixmap();
}

void TfrmCadastroConsumidor::toggleOption(QString& value, const char* image) {
    if (value == QLatin1String("S")) {
        value = QStringLiteral("N");
        label(image)->setPixmap(imgDesmarcado());
    } else {
        value = QStringLiteral("S");
        label(image)->setPixmap(imgMarcado());
    }
}

void TfrmCadastroConsumidor::imgIDATUCPFCONSClick() {
    toggleOption(stIDATUCPFCONS, "imgIDATUCPFCONS");
}
void TfrmCadastroConsumidor::imgIDCADCONFLIBCONClick() {
    toggleOption(stIDCADCONFLIBCON, "imgIDCADCONFLIBCON");
}
void TfrmCadastroConsumidor::imgIDIMPCPFCUPOMClick() {
    toggleOption(stIDIMPCPFCUPOM, "imgIDIMPCPFCUPOM");
}
void TfrmCadastroConsumidor::imgIDVERSALDCONClick() {
    toggleOption(stIDVERSALDCON, "imgIDVERSALDCON");
}

// Touching the sex already chosen changes nothing, and with no sex chosen (initialization stopped
// early) neither choice applies.
void TfrmCadastroConsumidor::bldFemininoClick() {
    if (consumer.stIdSexoCons != QLatin1String("M"))
        return;
    label("imgFeminino")->setPixmap(imgMarcado());
    label("imgMasculino")->setPixmap(imgDesmarcado());
    consumer.stIdSexoCons = QStringLiteral("F");
}

void TfrmCadastroConsumidor::bldMasculinoClick() {
    if (consumer.stIdSexoCons != QLatin1String("F"))
        return;
    label("imgFeminino")->setPixmap(imgDesmarcado());
    label("imgMasculino")->setPixmap(imgMarcado());
    consumer.stIdSexoCons = QStringLiteral("M");
}

void TfrmCadastroConsumidor::imgFemininoClick() {
    bldFemininoClick();
}
void TfrmCadastroConsumidor::imgMasculinoClick() {
    bldMasculinoClick();
}

} // namespace cadcons
