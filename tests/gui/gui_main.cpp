#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

int main(int argc, char** argv) {
    // The tests drive real widgets without a display, on a screen of the
    // smallest size the program is made for: 1280 x 720.
    // One file per process: test programs run side by side, and one must not
    // read the file while another is rewriting it.
    const QString config =
        QDir::temp().filePath(QStringLiteral("velsend-test-screen-1280x720-%1.json")
                                  .arg(QCoreApplication::applicationPid()));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(R"({"screens": [{"name": "velsend", "x": 0, "y": 0, "width": 1280,
                      "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM",
                (QStringLiteral("offscreen:configfile=") + config).toLocal8Bit());
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QFile::remove(config);  // read when the platform started
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
