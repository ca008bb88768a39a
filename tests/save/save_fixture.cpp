#include "save_fixture.h"

#include "config/host_config.h"
#include "widgets/blended.h"

#include <QLabel>
#include <QTest>

namespace cadcons::test {

void SaveTest::SetUp() {
    ASSERT_NO_FATAL_FAILURE(HostTest::SetUp());
    if (IsSkipped())
        return;
    siblingServices().Pesquisa = [](ClientDataSet& ds, const QString&) {
        ADD_FAILURE() << "a pick list was offered: " << ds.name().toStdString();
        return false;
    };
}

void SaveTest::TearDown() {
    form.reset();
    HostTest::TearDown();
}

TfrmCadastroConsumidor& SaveTest::open(const QString& code, const QString& customer, const QString& mode) {
    form.reset();
    form = std::make_unique<TfrmCadastroConsumidor>(test::formService(), hostDirectory());
    form->FormCreate();
    form->InicializaForm(code, QString(), customer, mode);
    form->show();
    return *form;
}

void SaveTest::show(int field, const QString& value) {
    form->setFieldText(field, value);
}

void SaveTest::show(const char* label, const QString& value) {
    for (const registration::FieldSpec& spec : registration::fieldCatalogue()) {
        if (QLatin1String(spec.textLabel) == QLatin1String(label))
            return form->setFieldText(spec.number, value);
    }
    ADD_FAILURE() << "no field shows its value in " << label;
}

void SaveTest::typePassword(int field, const QString& password) {
    form->selectField(field);
    form->mudaCor();
    for (QChar c : password) {
        QChar key = c;
        form->entry().FormKeyPress(key);
    }
}

void SaveTest::fillNewConsumer(const QString& code) {
    show("lblCodCons", code);
    show("lblNome", QStringLiteral("BEATRIZ NUNES"));
    show("lblCpf", QStringLiteral("52998224725"));
    show("lblRg", QStringLiteral("RG-77001"));
    show("lblNasc", QStringLiteral("15/08/1995"));
    show("lblPais", QStringLiteral("Brasil"));
    show("lblUf", QStringLiteral("SP"));
    show("lblcidade", QStringLiteral("CAMPINAS"));
    show("lblCracha", QStringLiteral("B-9001"));
}

void SaveTest::confirm() {
    auto* key = form->findChild<TBlendedBitBtn*>(QStringLiteral("sbtConfirma"));
    ASSERT_NE(key, nullptr);
    QTest::mouseClick(key, Qt::LeftButton);
}

bool SaveTest::formOpen() const {
    return form && form->isVisible();
}

QString SaveTest::text(const char* label) const {
    const auto* target = form->findChild<QLabel*>(QLatin1String(label));
    return target ? target->text() : QStringLiteral("<no label %1>").arg(QLatin1String(label));
}

QStringList SaveTest::messageTexts() const {
    QStringList texts;
    for (const MensagemArgs& m : messages)
        texts << m.text;
    return texts;
}

} // namespace cadcons::test
