#pragma once

#include "message_script.h"
#include "platform/data_packet.h"
#include "qt_printers.h"
#include "routines/sibling.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QLabel>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

namespace cadcons::test {

// What one recorded SenhaConsCentral call received.
struct CentralCall {
    QStringList arguments; // the seven texts, in order
    qsizetype answerSize = 0;
};

// A host directory of its own for each test: the demonstration database, the parameter file and the
// customer list as the host writes them, messages recorded instead of shown, and every pick list left
// without a choice. The process-wide data service object is reused; its connection is closed so that
// each initialization opens this test's database.
class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString hostDir() const { return dir_.path() + u'/'; }
    QString parameterFile() const { return hostDir() + QStringLiteral("PARAMETROSKIV.CDS"); }
    QString customerFile() const { return hostDir() + QStringLiteral("Dados/Cadastros/Cad_Cliente.cds"); }

    // Puts the demonstration database back as it was before the test changed it.
    void recreateDatabase();
    // Runs a statement on this test's database.
    void exec(const QString& sql);
    // Rewrites the parameter file with some values replaced and, optionally, one field left out.
    void writeParameters(const std::map<QString, QVariant>& values, const QString& without = {});
    // Answers SenhaConsCentral with `result`, leaving what `element0` gives (when set) in element 0.
    void scriptCentral(bool result, std::function<QVariant()> element0 = {});

    TfrmCadastroConsumidor& newForm();
    // A new form, initialized as the entry point does it.
    TfrmCadastroConsumidor& initialize(const QString& code, const QString& name, const QString& customer,
                                       const QString& mode);

    QLabel* labelOf(const char* name) const;
    QString text(const char* name) const;
    bool marked(const char* image) const; // shows the mark picture

    // Shows the form and clicks at `point` of `control` through the window, so the click lands on
    // whatever the operator would hit there.
    void clickAt(QWidget* control, QPoint point);
    void click(const char* name); // at the control's centre
    QWidget* control(const char* name) const;

    std::unique_ptr<TfrmCadastroConsumidor> form;
    MessageScript script;
    QList<MensagemArgs>& messages = script.shown;
    QList<CentralCall> centralCalls;

private:
    QTemporaryDir dir_;
    std::map<QByteArray, std::optional<QByteArray>> savedEnv_;
    SenhaConsCentralFn savedCentral_;
    PesquisaFn savedPesquisa_;
};

// The field whose frame is gray and whose text is black; 0 when none is; -1 when the highlight is not
// exactly one field (gray frame and black text together, every other field white and gray).
int highlightedField(const TfrmCadastroConsumidor& form);

} // namespace cadcons::test
