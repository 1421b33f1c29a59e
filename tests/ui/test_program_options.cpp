// The program's command line, run from a terminal with no display at all.
#include <gtest/gtest.h>

#include <QProcess>

TEST(TProgramOptions, AnswersHelpAndVersionAndRefusesTheRest) {
    const QString hint = "\nTry 'servo-console --help'.\n";
    const struct {
        QStringList args;
        int exitCode;
        QStringList outParts;  // all in standard output; none: it stays empty
        QString err;
    } cases[] = {
        {{"--help"}, 0, {"Usage: servo-console", "servo controller", "COM1 .. COM4",
                         "/dev/ttyS0 .. /dev/ttyS3", "/dev/ttyUSB*", "Симулятор", "Другой порт…",
                         "README.md"}, ""},
        {{"-h"}, 0, {"Usage: servo-console"}, ""},
        {{"--version"}, 0, {"servo-console " SERVO_CONSOLE_VERSION "\n"}, ""},
        {{"--verbose"}, 2, {}, "servo-console: unknown option '--verbose'" + hint},
        {{"-platform", "offscreen"}, 2, {}, "servo-console: unknown option '-platform'" + hint},
        {{"--help", "COM1"}, 2, {}, "servo-console: unexpected argument 'COM1'" + hint},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(SERVO_CONSOLE_BINARY, c.args);
        if (!process.waitForFinished(60000)) process.kill();
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.exitCode);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_EQ(out.isEmpty(), c.outParts.isEmpty()) << out.toStdString();
        for (const QString& part : c.outParts) EXPECT_TRUE(out.contains(part)) << part.toStdString();
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), c.err);
    }
}
