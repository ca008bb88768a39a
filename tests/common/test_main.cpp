#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets the Qt application object that the code under test expects: widgets for
// the screen's tests (offscreen), a plain core application elsewhere.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The captions are checked in the system's own Portuguese, whatever the machine's language.
    if (qEnvironmentVariableIsEmpty("CADCONS_LANGUAGE"))
        qputenv("CADCONS_LANGUAGE", "pt_BR");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
