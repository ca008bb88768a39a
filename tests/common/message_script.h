#pragma once

#include "widgets/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace cadcons {

// Stands in for the message dialog while it lives: every message is recorded in `shown`, `during`
// runs inside it (to act while the message would be up), and it is answered from `answers`, then
// `fallback` once they run out. The handler in place before comes back with the script's end.
class MessageScript {
public:
    explicit MessageScript(bool fallback = true)
        : saved_(mensagemHandler())
        , fallback_(fallback) {
        mensagemHandler() = [this](const MensagemArgs& args) {
            shown << args;
            if (during)
                during(args);
            if (answers.empty())
                return fallback_;
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        };
    }
    ~MessageScript() { mensagemHandler() = saved_; }
    MessageScript(const MessageScript&) = delete;
    MessageScript& operator=(const MessageScript&) = delete;

    QList<MensagemArgs> shown;
    std::deque<bool> answers;
    std::function<void(const MensagemArgs&)> during;

private:
    MensagemFn saved_;
    bool fallback_;
};

// Runs `show` (which opens a modal `Dialog`) and plays `script` on the dialog once it is up. A dialog the
// script leaves open is closed after `patienceMs`, so a fault cannot hang the test program; `what`
// names the dialog in the failures.
template <typename Dialog, typename Show>
auto withModal(const std::function<void(Dialog*)>& script, Show show, const char* what, int patienceMs) {
    QObject guard;
    QTimer::singleShot(0, &guard, [script, what] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no " << what << " is shown";
            return;
        }
        script(dialog);
    });
    QTimer::singleShot(patienceMs, &guard, [what] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the " << what << " stayed open";
            dialog->done(QDialog::Rejected);
        }
    });
    return show();
}

using DialogScript = std::function<void(QDialog*)>;

template <typename Show> auto withMessage(const DialogScript& script, Show show) {
    return withModal<QDialog>(script, show, "message", 5000);
}

} // namespace cadcons
