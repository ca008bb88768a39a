#include "image_probe.h"
#include "message_script.h"
#include "qt_printers.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace cadcons;

namespace {

bool showAndPlay(const MensagemArgs& args, const DialogScript& script, QWidget* parent = nullptr) {
    return withMessage(script, [&] { return showMensagemDialog(args, parent); });
}

MensagemArgs message(int kind, const QString& text = QStringLiteral("Número do CPF inválido."),
                     const QString& details = QString()) {
    MensagemArgs a;
    a.text = text;
    a.details = details;
    a.kind = kind;
    a.flag1 = a.flag2 = QStringLiteral("N");
    a.esquema = QStringLiteral("002");
    return a;
}

// Keys go through the window, as a physical keyboard's do, so they reach whatever holds the focus.
void press(QDialog* d, int key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(d->windowHandle(), Qt::Key(key), mods);
}

template <typename T> T* part(QDialog* d, const char* name) {
    return d->findChild<T*>(QString::fromLatin1(name));
}

TEST(MensagemDialog, KeysAnswer) {
    const struct {
        const char* name;
        int kind;
        int key;
        Qt::KeyboardModifiers mods;
        bool answer;
    } cases[] = {
        {"question, Enter", kMsgPergunta, Qt::Key_Return, {}, true},
        {"question, keypad Enter", kMsgPergunta, Qt::Key_Enter, Qt::KeypadModifier, true},
        {"question, Escape", kMsgPergunta, Qt::Key_Escape, {}, false},
        {"question, S", kMsgPergunta, Qt::Key_S, {}, true},
        {"question, N", kMsgPergunta, Qt::Key_N, {}, false},
        {"notice, Enter", kMsgInformacao, Qt::Key_Return, {}, true},
        {"notice, Escape", kMsgInformacao, Qt::Key_Escape, {}, true},
        {"error, Enter", kMsgErro, Qt::Key_Return, {}, true},
        {"error, Escape", kMsgErro, Qt::Key_Escape, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool answer = showAndPlay(message(c.kind), [&](QDialog* d) { press(d, c.key, c.mods); });
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(MensagemDialog, OtherKeysAndRepeatsDoNotAnswer) {
    const bool answer = showAndPlay(message(kMsgPergunta), [](QDialog* d) {
        // The Enter that opened the message may still be held down: its repeats must not answer.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
        QCoreApplication::sendEvent(d, &repeat);
        press(d, Qt::Key_A);
        press(d, Qt::Key_Space);
        press(d, Qt::Key_Tab);
        EXPECT_TRUE(d->isVisible());
        press(d, Qt::Key_Escape);
    });
    EXPECT_FALSE(answer);
}

TEST(MensagemDialog, ButtonsForAFinger) {
    const struct {
        int kind;
        QStringList buttons; // object names, with the caption after the colon
    } cases[] = {
        {kMsgPergunta, {"btnSim:Sim", "btnNao:Não"}},
        {kMsgInformacao, {"btnOk:OK"}},
        {kMsgErro, {"btnOk:OK"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        showAndPlay(message(c.kind), [&](QDialog* d) {
            const auto buttons = d->findChildren<QPushButton*>();
            EXPECT_EQ(buttons.size(), c.buttons.size());
            for (const QString& spec : c.buttons) {
                auto* b = d->findChild<QPushButton*>(spec.section(':', 0, 0));
                ASSERT_NE(b, nullptr) << spec.toStdString();
                EXPECT_EQ(b->text(), spec.section(':', 1));
                EXPECT_GE(b->width(), 120);
                EXPECT_GE(b->height(), 60);
                EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
            }
            auto* text = part<QLabel>(d, "mensagemTexto");
            ASSERT_NE(text, nullptr);
            EXPECT_GE(text->font().pixelSize(), 16);
            EXPECT_TRUE(text->wordWrap());
            d->reject();
        });
    }
}

TEST(MensagemDialog, ButtonsAnswer) {
    const struct {
        int kind;
        const char* button;
        bool answer;
    } cases[] = {
        {kMsgPergunta, "btnSim", true},
        {kMsgPergunta, "btnNao", false},
        {kMsgErro, "btnOk", true},
        {kMsgInformacao, "btnOk", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        const bool answer = showAndPlay(message(c.kind), [&](QDialog* d) {
            auto* b = part<QPushButton>(d, c.button);
            ASSERT_NE(b, nullptr);
            QTest::mouseClick(b, Qt::LeftButton);
        });
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(MensagemDialog, DetailsButtonTogglesTheDetails) {
    const QString details =
        QStringLiteral("000000000000000000012 - Maria da Silva\r\n000000000000000000034 - José Souza");
    const bool answer = showAndPlay(
        message(kMsgPergunta, QStringLiteral("O número do CPF já está cadastrado."), details), [](QDialog* d) {
            auto* more = part<QPushButton>(d, "btnDetalhes");
            auto* area = part<QPlainTextEdit>(d, "mensagemDetalhes");
            ASSERT_NE(more, nullptr);
            ASSERT_NE(area, nullptr);
            EXPECT_EQ(more->text(), QStringLiteral("Detalhes"));
            EXPECT_FALSE(area->isVisible());
            EXPECT_TRUE(area->isReadOnly());
            const QStringList lines = {QStringLiteral("000000000000000000012 - Maria da Silva"),
                                       QStringLiteral("000000000000000000034 - José Souza")};
            EXPECT_EQ(area->toPlainText().split('\n'), lines);
            const int closedHeight = d->height();

            QTest::mouseClick(more, Qt::LeftButton);
            EXPECT_TRUE(area->isVisible());
            EXPECT_GT(d->height(), closedHeight);
            QCoreApplication::processEvents();
            d->grab().save(QCoreApplication::applicationDirPath() + QStringLiteral("/mensagem_detalhes.png"));
            QTest::mouseClick(more, Qt::LeftButton);
            EXPECT_FALSE(area->isVisible());
            EXPECT_EQ(d->height(), closedHeight);

            // Touching the buttons leaves the keys with the message.
            QTest::mouseClick(more, Qt::LeftButton);
            EXPECT_TRUE(d->focusWidget() == nullptr || d->focusWidget() == d);
            press(d, Qt::Key_Return);
        });
    EXPECT_TRUE(answer);

    showAndPlay(message(kMsgPergunta), [](QDialog* d) {
        EXPECT_EQ(part<QPushButton>(d, "btnDetalhes"), nullptr);
        EXPECT_EQ(part<QPlainTextEdit>(d, "mensagemDetalhes"), nullptr);
        d->reject();
    });
}

enum class Hue { Blue, Amber, Red, Other };

Hue hueOf(QRgb c) {
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    if (b > r + 80 && b > g)
        return Hue::Blue;
    if (r > 200 && g > 120 && g < 210 && b < 80)
        return Hue::Amber;
    if (r > 150 && g < 90 && b < 90)
        return Hue::Red;
    return Hue::Other;
}

TEST(MensagemDialog, KindsLookDifferent) {
    const struct {
        int kind;
        Hue strip;
        const char* file;
    } cases[] = {
        {kMsgInformacao, Hue::Blue, "mensagem_informacao.png"},
        {kMsgPergunta, Hue::Amber, "mensagem_pergunta.png"},
        {kMsgErro, Hue::Red, "mensagem_erro.png"},
    };
    const QString text = QStringLiteral("Operação bloqueada. Favor verificar no sistema se a parametrização do "
                                        "cliente padrão, centro de custo e tipo de consumidor foram realizadas.");
    QList<QImage> shots;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        showAndPlay(message(c.kind, text), [&](QDialog* d) {
            const QImage img = d->grab().toImage().convertToFormat(QImage::Format_RGB32);
            img.save(QCoreApplication::applicationDirPath() + '/' + QString::fromLatin1(c.file));
            auto* title = part<QLabel>(d, "mensagemTitulo");
            ASSERT_NE(title, nullptr);
            const QPoint inStrip = title->geometry().topLeft() + QPoint(4, 4);
            EXPECT_EQ(hueOf(img.pixel(inStrip)), c.strip);
            EXPECT_EQ(hueOf(img.pixel(0, img.height() / 2)), c.strip) << "the border takes the kind's colour";
            shots << img;
            d->reject();
        });
    }
    ASSERT_EQ(shots.size(), 3);
    EXPECT_NE(shots[0], shots[1]);
    EXPECT_NE(shots[1], shots[2]);
    EXPECT_NE(shots[0], shots[2]);
}

TEST(MensagemDialog, LongTextWrapsAndStaysOnScreen) {
    QString manyWords;
    for (int i = 0; i < 60; ++i)
        manyWords += QStringLiteral("Falha ao gravar o consumidor no banco de dados. ");
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"many words", manyWords},
        {"a long path", QStringLiteral("Não foi possível abrir /home/caixa/Dados/Cadastros/"
                                       "Cad_Cliente_filial_0001_atualizado_em_2024_01_01_versao_final.cds")},
        {"one long token", QString(150, QLatin1Char('9'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        showAndPlay(message(kMsgErro, c.text), [&](QDialog* d) {
            const QRect screen = d->screen()->availableGeometry();
            EXPECT_TRUE(screen.contains(d->frameGeometry())) << d->frameGeometry().height();
            EXPECT_LE(d->width(), 700);
            auto* label = part<QLabel>(d, "mensagemTexto");
            ASSERT_NE(label, nullptr);
            // Every character is shown, and every line fits the label.
            EXPECT_EQ(QString(label->text()).remove(QChar(0x200B)), c.text);
            const QRect needed =
                label->fontMetrics().boundingRect(label->contentsRect(), Qt::TextWordWrap, label->text());
            EXPECT_LE(needed.width(), label->contentsRect().width());
            if (c.text == manyWords)
                d->grab().save(QCoreApplication::applicationDirPath() + QStringLiteral("/mensagem_longa.png"));
            press(d, Qt::Key_Return);
        });
    }
}

TEST(MensagemDialog, CentredOnItsParentOrTheScreen) {
    QWidget parent;
    parent.setGeometry(30, 20, 600, 500);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    showAndPlay(
        message(kMsgInformacao),
        [&](QDialog* d) {
            EXPECT_LE((d->geometry().center() - parent.geometry().center()).manhattanLength(), 2);
            d->accept();
        },
        &parent);
    parent.hide();

    showAndPlay(message(kMsgInformacao), [](QDialog* d) {
        const QPoint centre = d->screen()->availableGeometry().center();
        EXPECT_LE((d->geometry().center() - centre).manhattanLength(), 2);
        d->accept();
    });
}

TEST(Mensagem, TakesTheWaitCursorOffWhileShownAndPutsItBack) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    bool cursorWhileShown = true;

    // The real dialog, reached through the default handler.
    const bool answer = withMessage(
        [&](QDialog* d) {
            cursorWhileShown = QGuiApplication::overrideCursor() != nullptr;
            press(d, Qt::Key_Return);
        },
        [] {
            return Mensagem(QStringLiteral("Cidade não informada."), {}, "N", "N", kMsgErro, {}, "002", 0, nullptr);
        });
    EXPECT_TRUE(answer);
    EXPECT_FALSE(cursorWhileShown);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);

    // Any handler sees no wait cursor, and one that fails still gets the cursors back.
    {
        cursorWhileShown = true;
        MessageScript script;
        script.during = [&](const MensagemArgs&) {
            cursorWhileShown = QGuiApplication::overrideCursor() != nullptr;
            throw std::runtime_error("no screen");
        };
        EXPECT_THROW(Mensagem("x", {}, "N", "N", kMsgErro, {}, "002", 0, nullptr), std::runtime_error);
        EXPECT_FALSE(cursorWhileShown);
    }
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QGuiApplication::restoreOverrideCursor();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Mensagem, HandsEveryArgumentToTheHandler) {
    MessageScript script;
    script.answers = {true, false};
    auto* dataset = reinterpret_cast<ClientDataSet*>(&script); // only carried, never used
    for (bool r : {true, false})
        EXPECT_EQ(Mensagem("texto", "d1\nd2", "S", "N", kMsgPergunta, "extra", "007", 10, dataset), r);
    ASSERT_EQ(script.shown.size(), 2);
    const MensagemArgs& a = script.shown.front();
    EXPECT_EQ(a.text, "texto");
    EXPECT_EQ(a.details, "d1\nd2");
    EXPECT_EQ(a.flag1, "S");
    EXPECT_EQ(a.flag2, "N");
    EXPECT_EQ(a.kind, kMsgPergunta);
    EXPECT_EQ(a.extra, "extra");
    EXPECT_EQ(a.esquema, "007");
    EXPECT_EQ(a.number, 10);
    EXPECT_EQ(a.dataset, dataset);
}

TEST(Mensagem, WithoutAScreenTheTextGoesToTheErrorOutput) {
    for (const char* mode : {"none", "core"}) {
        SCOPED_TRACE(mode);
        QProcess p;
        p.start(QStringLiteral(MENSAGEM_HEADLESS), {QString::fromLatin1(mode)});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << "Mensagem must answer false";
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("Município não cadastrado."))) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("linha 2"))) << err.toStdString();
    }
}

} // namespace
