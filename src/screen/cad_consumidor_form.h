#pragma once

#include "platform/client_data_set.h"
#include "routines/messages.h"
#include "screen/consumer_record.h"
#include "screen/field_catalogue.h"
#include "screen/lookup/registration_lists.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <array>
#include <functional>

class QLabel;

namespace cadcons {

class TBlendedShape;
class TBlendedBitBtn;
struct GravaConsumidor;

// Shift, Alt and Ctrl of a key event, as the key handlers test them.
enum ShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using ShiftState = unsigned;

// Virtual-key codes the key handlers test.
namespace vk {
inline constexpr int Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Capital = 20, Escape = 27,
                     Space = 32, Left = 37, Up = 38, Right = 39, Down = 40, Key2 = 50, F5 = 116, F6 = 117, F7 = 118,
                     F8 = 119, F9 = 120, OemMinus = 189;
}

// The consumer registration screen: a borderless touch form without edit boxes. Each field is a rounded
// frame with a label holding its value; the keyboards post into the active field.
class TfrmCadastroConsumidor : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCadastroConsumidor(QWidget* parent = nullptr);
    ~TfrmCadastroConsumidor() override;

    // --- life of a call
    void FormCreate();
    void InicializaForm(const QString& code, const QString& name, const QString& customer, const QString& mode);
    void lblSairClick();

    // --- fields and highlight
    QLabel* fieldLabel(int number) const; // the text label whose Tag is `number`
    TBlendedShape* fieldFrame(int number) const;
    QString fieldText(int number) const; // caption of the field's text label
    void setFieldText(int number, const QString& text);
    void mudaCor();
    void sbtLimparClick();

    // Field selection handlers (each sets inCampoAtivo, repaints, and some open their picker).
    void bdsCodConsClick();
    void lblCodConsClick();
    void lblCdConsClick();
    void bdsNomeClick();
    void lblNmConsClick();
    void bdsNascClick();
    void lblDtNascimentoClick();
    void bdsRgClick();
    void bdsCpfClick();
    void bdsEnderecoClick();
    void Label6Click();
    void bdsPaisClick();
    void bdsUfClick();
    void bdsCidadeClick();
    void bdsBairroClick();
    void bdsCepClick();
    void bdsTelefoneClick();
    void lblResidencialClick();
    void bdsComercialClick();
    void bdsCelularClick();
    void bdsEmailClick();
    void bdsTipoConsClick();
    void bdsCrachaClick();
    void bdsNMLOGINCONSClick();
    void bdsCDSENHACONSClick();
    void bdsCDEXCONSUMIDClick();
    void bdsCDSENHASITEClick();
    void bdsTipoVendaClick();
    void bdsNumeroClick();
    void lblNumeroClick();
    void bdsNomeClienteClick();

    // --- option flags and sex
    void imgIDATUCPFCONSClick();
    void imgIDCADCONFLIBCONClick();
    void imgIDIMPCPFCUPOMClick();
    void imgIDVERSALDCONClick();
    void bldFemininoClick();
    void bldMasculinoClick();
    void imgFemininoClick();
    void imgMasculinoClick();

    // --- actions that later work fills in
    void sbtConfirmaClick();
    void sbpDigitalClick();
    void BuscaEnderecoCEP();

    // --- text entry (entry/)
    void PostaTexto(int field, const QString& text, bool erase);
    void postChar(const QString& ch); // PostaTexto on the active field; the password fields feed their hidden value
    void sbtCapsLockClick();
    void sbtShiftClick();
    void sbtEnterClick();
    void sbtBackSpaceClick();
    void sbtEspacoClick();
    void sbt_Click();
    void sbtArrobaClick();
    // Returns true when the key-down already posted the key's character (Shift+2, Shift+-), so the
    // character event of the same key press must not post it again.
    bool FormKeyDown(int& key, ShiftState shift);
    // Opens the pick list of a field's kind (F9, the space bar).
    void openPicker(screen::Picker picker);
    // Enter on country, state, city or consumer code: the list's row of the code typed into the field.
    void lookUpTypedCode();
    // F5 to F8 switch the four options.
    void optionKey(int key);
    void FormKeyPress(QChar& key);
    // Maps a Qt key event to the virtual-key code and shift state the handlers test.
    static int virtualKey(const QKeyEvent* event);
    static ShiftState shiftState(const QKeyEvent* event);
    // What the input method may show and learn of the active field, and where it is.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // --- form state
    // The call's parameters and settings; the consumer's own values are in `consumer`.
    QString stIdEsquema, stCdFilial, stCdCcusClie, stStProcessamento, stModoChamada, stIdExConsAtFil, stIdExConsAtGer,
        stIdImpMercBoca, stIdBloqCdIdCons, stIdSenConsCentral, stUltimoCep;
    ConsumerRecord consumer;
    int inCampoAtivo = 0;
    bool boGravou = false;
    bool boCapsLock = false;
    bool boShift = false;
    bool boUtilizaImpFis = false;

    // --- client datasets
    RegistrationLists& lists() { return lists_; }
    const RegistrationLists& lists() const { return lists_; }

    // The operator message table.
    TMessages msgPadrao;
    // Shows a keyed message of the table with Mensagem.
    bool showMessage(const QString& key, int kind, const QString& esquema, const QString& details = {});

    // The mark picture and the empty one.
    QPixmap imgMarcado() const;
    QPixmap imgDesmarcado() const { return {}; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Text composed by an input method (dead keys, compose sequences) arrives here instead of as keys.
    void inputMethodEvent(QInputMethodEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildForm();
    void buildChoices(); // sex and the four option flags
    void buildFooter();  // mark pictures, screen code and border
    void buildKeyboard();
    void decorateKeys(); // the glyphs and the confirm key's colour
    void selectField(int number);
    void bindClick(const char* objectName, std::function<void()> handler);
    // Runs a handler that may fail and reports its error with message kind 3, as every form handler does;
    // an error MensagemMetodo has shown already is not shown twice. `schema` is the message's schema.
    void guarded(const std::function<void()>& handler);
    void guarded(const std::function<void()>& handler, const QString& schema);
    void setLetterCaptions(bool upper);
    void FormClose();

    QHash<QString, std::function<void()>> clickHandlers_; // by objectName

    RegistrationLists lists_;

    // --- form building and initialization helpers
    // The named label of the form; throws std::logic_error when the form has none.
    QLabel* label(const char* objectName) const;
    void bindClicks();
    // Empties every field's caption but the customer's.
    void clearFields();
    // Display labels and visibility of the datasets' persistent fields, as the pick lists show them.
    void setPersistentFields();
    static QList<MessageRow> msgPadraoRows();
    void readParameterFile(const QString& path);
    // The customer's name, the default consumer type and the pick lists, from the data service.
    void loadServiceLists();
    // The consumer of the call (new or stored) into the labels, the options and the state.
    void openConsumer();
    // Existing consumer: the stored record into the consumer and the labels.
    void copyStoredConsumer();
    // Shows the name of the sale type `code` when the sale type list holds it.
    void showSaleTypeName(const QString& code);
    void toggleOption(QString& value, const char* image);

    std::array<QLabel*, screen::kFieldCount> fieldLabels_{};
    std::array<TBlendedShape*, screen::kFieldCount> fieldFrames_{};
    QPointer<QWidget> pressedControl_; // the bound control a left press went down on

    // --- text entry (entry/): additions
private:
    // The password fields (SenhaCons, SenhaSite) keep their characters in the hidden module strings and
    // show one "*" per character. Appends an accepted password character (with the on-screen case when `screenCase`)
    // and releases Shift; false when the field is no password field or the character is not accepted.
    bool appendPassword(int field, QChar ch, bool screenCase);
    // Enter on the active place field: the row of `list` within `scope` whose code is `code`; the field
    // shows the row's name (the state its code) and the consumer keeps the code. Nothing when `code` is "".
    void takeTypedCode(ClientDataSet& list, const QString& scope, const QString& code);
    // A key's character other than a digit or Backspace into an ordinary field.
    void typeSign(int field, QChar ch);
    // Each character of a key's or an input method's text through the character filter.
    void typeText(const QString& text);
    // Physical Shift presses since the last other key, and the on-screen Shift before the first of them.
    int shiftPresses_ = 0;
    bool shiftBeforePresses_ = false;
    // A dead key was pressed with Shift held while the on-screen Shift was armed.
    bool deadKeyShift_ = false;
    void erasePassword(int field);
    void showPasswordMask(int field);

    // --- pick lists and postal-code look-up (lookup/): additions
public:
    // Display text of a customer's registration number in the customer list: the number under the edit
    // mask of the customer's person type. Sets `text` alike for display and for editing.
    void cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool displayText);

private:
    bool cepLookupRunning_ = false; // the web wait must not start a second look-up

    // --- validation and saving (save/): additions
public:
    // True when the entries that must be there are there and well formed; false after telling the
    // operator which one is wrong.
    bool Vd_Informacoes();
    // Copies what the screen shows into the state the save reads.
    void PreencheVariaveis();
    // Digests and stored forms of the passwords for the save. The typed passwords stay as they are
    // until the save has gone through, so a confirm that fails later can simply be repeated.
    void CriptografaSenhas();

private:
    void confirma();
    void adoptUncertainInsert(const QString& ajustado);
    // The duplicate checks of CPF, RG and badge; false when one stops the confirm (its message shown).
    bool documentsAreFree(const QString& carregado, const QString& ajustado);
    // Country, state and city are in the lists; false with the message of the first that is not.
    bool placesAreRegistered();
    // Writes the consumer under `chave` (`carregado` is the code it was loaded with), then the central
    // steps; the form closes once everything has gone through.
    void saveAndPublish(bool novo, const QString& chave, const QString& carregado);
    // The record for setGravaConsumidor under the consumer code `chave`, passwords as CriptografaSenhas left them.
    void fillSaveArguments(GravaConsumidor& v, const QString& chave) const;
    // CDCONSUMIDOR of the record loaded for editing, or of the one this form has inserted; "" for a new
    // consumer.
    QString loadedCode() const;
    // After a duplicate check: when cdsBuscaConsumidor lists other consumers, asks the question `key`
    // with one line per consumer; true to go on.
    bool confirmDuplicates(const QString& key);
    // Empties the passwords, their digests and stored forms, and the fingerprints.
    void clearFormSecrets();

    bool busy_ = false;   // Confirm or fingerprint capture under way: a second touch must not start another
    QString insertedKey_; // the consumer this form inserted, when a later step of that confirm failed
};

} // namespace cadcons
