// The GUI tests share one Qt application per process (QtWebEngine starts once per process),
// prepared as the program prepares its own.
#include <gtest/gtest.h>
#include <QApplication>

#include "platform/ui/WebEngineEnvironment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    velomaris::PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
