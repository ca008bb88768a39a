#include "screen_fixture.h"

#include "config/host_config.h"
#include "form_service.h"

#include <QTest>

namespace cadcons::test {

void ScreenTest::SetUp() {
    ASSERT_NO_FATAL_FAILURE(HostTest::SetUp());
    siblingServices().SenhaConsCentral = nullptr;
}

void ScreenTest::TearDown() {
    form.reset();
    HostTest::TearDown();
}

TfrmCadastroConsumidor& ScreenTest::newForm() {
    form.reset();
    form = std::make_unique<TfrmCadastroConsumidor>(test::formService(), hostDirectory());
    form->FormCreate();
    return *form;
}

TfrmCadastroConsumidor& ScreenTest::initialize(const QString& code, const QString& name, const QString& customer,
                                               const QString& mode) {
    newForm().InicializaForm(code, name, customer, mode);
    return *form;
}

QLabel* ScreenTest::labelOf(const char* name) const {
    auto* found = form->findChild<QLabel*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString ScreenTest::text(const char* name) const {
    const QLabel* found = labelOf(name);
    return found ? found->text() : QStringLiteral("<no label>");
}

bool ScreenTest::marked(const char* image) const {
    const QLabel* found = labelOf(image);
    return found && !found->pixmap().isNull();
}

QWidget* ScreenTest::control(const char* name) const {
    auto* found = form->findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void ScreenTest::clickAt(QWidget* target, QPoint point) {
    if (!form->isVisible()) {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, target->mapTo(form.get(), point));
}

void ScreenTest::click(const char* name) {
    if (QWidget* target = control(name))
        clickAt(target, target->rect().center());
}

int highlightedField(const TfrmCadastroConsumidor& form) {
    const QColor gray(128, 128, 128);
    int active = 0;
    for (int n = 1; n <= 24; ++n) {
        const QColor frame = form.fieldFrame(n)->brushColor();
        const QColor ink = form.fieldLabel(n)->palette().color(QPalette::WindowText);
        if (frame == gray && ink == QColor(Qt::black)) {
            if (active != 0)
                return -1;
            active = n;
        } else if (frame != QColor(Qt::white) || ink != gray) {
            return -1;
        }
    }
    return active;
}

} // namespace cadcons::test
