// One QApplication for every Qt test program, made before any test; CTest runs it offscreen, and so does test
// discovery at build time, which gets no environment of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // No session bus: the appearance comes from the palette or the tests' override, never from this machine.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
