// The UI tests run in one QApplication on the offscreen platform.

#include "UiTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The offscreen platform, with its options when given (a screen of a chosen size).
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("offscreen")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The advertisement strip fetches from the maker's server at every start: tests that do not
    // serve it themselves point it at a closed loopback port.
    if (qEnvironmentVariableIsEmpty("QUILLMARK_MAKER_HOST"))
        qputenv("QUILLMARK_MAKER_HOST", "127.0.0.1:9");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmarkbox"));
    quill::test::MessageBoxes::watchForBoxes();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
