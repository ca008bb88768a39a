#pragma once

#include "config/host_config.h"
#include "host_fixture.h"
#include "registration/registration.h"
#include "scripted_operator.h"

#include <memory>

namespace cadcons::test {

// A registration without a screen on the host directory and database of HostTest, as the entry point
// opens it, the operator scripted. The helpers do to the registration what the form does to it.
class CoreTest : public HostBackendTest {
protected:
    void TearDown() override {
        r.reset();
        HostTest::TearDown();
    }

    // A new registration of the call, not yet opened.
    Registration& make() {
        r.reset();
        op = ScriptedOperator{};
        closed_ = false;
        r = std::make_unique<Registration>(test::formService(), op, hostDirectory());
        return *r;
    }
    Registration& open(const QString& code, const QString& customer = {}, const QString& mode = {}) {
        make().InicializaForm(code, QString(), customer, mode);
        return *r;
    }
    // The field the registration last moved to; 0 when none.
    int active() const { return op.moves.isEmpty() ? 0 : op.moves.last(); }
    void show(registration::Field field, const QString& text) { r->setFieldText(field, text); }
    // A password as the keyboard leaves it: kept as typed, masked on its field.
    void typePassword(registration::Field field, const QString& password) {
        (field == registration::SenhaCons ? r->stCDSENHACONS : r->stCDSENHASITE) = password;
        r->setFieldText(field, QString(password.size(), u'*'));
    }
    void fillNewConsumer(const QString& code) {
        using namespace registration;
        const std::pair<Field, QString> entries[] = {
            {CodCons, code},  {Nome, "BEATRIZ NUNES"}, {Cpf, "52998224725"},
            {Rg, "RG-77001"}, {Nasc, "15/08/1995"},    {Pais, "Brasil"},
            {Uf, "SP"},       {Cidade, "CAMPINAS"},    {Cracha, "B-9001"},
        };
        for (const auto& [field, text] : entries)
            r->setFieldText(field, text);
    }
    // What the fingerprint key leaves: the templates the capture gave.
    void capture() {
        r->stDigital = captured.value(0).toString();
        r->stDigital2 = captured.value(1).toString();
    }
    // A new consumer without documents or a badge that another consumer could hold.
    void fillLoneConsumer(int code, const char* badgePrefix) {
        fillNewConsumer(QString::number(code));
        show(registration::Cpf, {});
        show(registration::Rg, {});
        show(registration::Cracha, QStringLiteral("%1-%2").arg(QLatin1String(badgePrefix)).arg(code));
    }
    // Confirm as the confirm key runs it: an error that was not told is told as the form tells it.
    void confirm() {
        try {
            closed_ = r->Confirma();
        } catch (const ShownError&) {
        } catch (const std::exception& e) {
            op.tell(QString::fromUtf8(e.what()), {}, kMsgErro, r->stIdEsquema, 0);
        }
    }
    // The form would still be open: no Confirm has gone through.
    bool formOpen() const { return !closed_; }
    QStringList messageTexts() const {
        QStringList texts;
        for (const ScriptedOperator::Told& m : op.told)
            texts << m.text;
        return texts;
    }
    QString msg(const char* key) const { return r->msgPadrao.Msg(QLatin1String(key)); }

    ScriptedOperator op;
    QList<ScriptedOperator::Told>& messages = op.told;
    std::deque<bool>& answers = op.answers;
    std::unique_ptr<Registration> r;

private:
    bool closed_ = false;
};

} // namespace cadcons::test
