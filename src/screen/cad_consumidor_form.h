#pragma once

#include "platform/client_data_set.h"
#include "registration/field_catalogue.h"
#include "registration/registration.h"
#include "registration/registration_operator.h"
#include "screen/entry/form_entry.h"
#include "screen/lookup/form_lookups.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QLabel;

namespace cadcons {

class TBlendedShape;
class TBlendedBitBtn;
class TrdmCadConsumidor;

// The consumer registration screen: a borderless touch form without edit boxes, the view of one
// Registration. Each field is a rounded frame with a label showing the registration's value; the keyboards
// post into the active field, and the registration reaches the operator through the form's messages.
class TfrmCadastroConsumidor : public QDialog, private RegistrationOperator {
    Q_OBJECT
public:
    // `service` is the module's data service; `hostDirectory` the module's, with its trailing "/".
    TfrmCadastroConsumidor(TrdmCadConsumidor& service, const QString& hostDirectory, QWidget* parent = nullptr);
    ~TfrmCadastroConsumidor() override;

    // The registration this form shows.
    Registration& registration() { return *registration_; }
    const Registration& registration() const { return *registration_; }

    // --- life of a call
    void FormCreate();
    // The registration's opening, then its values on the screen.
    void InicializaForm(const QString& code, const QString& name, const QString& customer, const QString& mode);
    void lblSairClick();
    // True once the call's consumer was saved (the registration's boGravou).
    bool saved() const { return registration_->boGravou; }

    // --- fields and highlight
    QLabel* fieldLabel(int number) const; // the text label whose Tag is `number`
    TBlendedShape* fieldFrame(int number) const;
    QString fieldText(int number) const; // caption of the field's text label
    void setFieldText(int number, const QString& text);
    void mudaCor();

    // The active field (1 to 24), highlighted; a touch on a field selects it and opens its picker.
    int activeField() const { return inCampoAtivo; }
    void selectField(int number);
    void fieldTouched(registration::Field field);
    // The pick lists and the postal-code look-up.
    FormLookups& lookups() { return lookups_; }

    // --- option flags and sex
    void toggleOption(const registration::OptionSpec& option);
    void bldFemininoClick();
    void bldMasculinoClick();

    // --- Confirm and the fingerprint capture
    void sbtConfirmaClick();
    void sbpDigitalClick();

    // --- text entry (entry/)
    FormEntry& entry() { return entry_; }
    const FormEntry& entry() const { return entry_; }
    // What the input method may show and learn of the active field, and where it is.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // A keyed message of the table, with Mensagem.
    bool showMessage(const QString& key, int kind, const QString& esquema, const QString& details = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Text composed by an input method (dead keys, compose sequences) arrives here instead of as keys.
    void inputMethodEvent(QInputMethodEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildForm();
    void buildKeyboard();
    void bindClick(const char* objectName, std::function<void()> handler);
    // RegistrationOperator: Mensagem and the highlight.
    bool ask(const QString& text, const QString& details, const QString& esquema) override;
    void tell(const QString& text, const QString& details, int kind, const QString& esquema, int number) override;
    void moveTo(int field) override;
    void showWithoutDatabase(const QString& text) override;
    // Every field label, the options and the sex as the registration holds them.
    void showRegistration();
    void showSex();
    // Runs a handler that may fail and reports its error with message kind 3, as every form handler does;
    // an error the operator has been shown already is not shown twice.
    void guarded(const std::function<void()>& handler);
    // The mark picture, or the empty one.
    QPixmap mark(bool on) const;
    void FormClose();

    QHash<QString, std::function<void()>> clickHandlers_; // by objectName

    std::unique_ptr<Registration> registration_;
    RegistrationLists& lists_; // the registration's
    ConsumerRecord& consumer;  // the registration's
    int inCampoAtivo = 0;
    FormEntry entry_{*this};
    FormLookups lookups_{*this};
    friend class FormEntry;
    friend class FormLookups;

    void bindClicks();

    std::array<QLabel*, registration::kFieldCount> fieldLabels_{};
    std::array<TBlendedShape*, registration::kFieldCount> fieldFrames_{};
    QPointer<QWidget> pressedControl_; // the bound control a left press went down on

private:
    bool busy_ = false; // Confirm or fingerprint capture under way: a second touch must not start another
};

} // namespace cadcons
