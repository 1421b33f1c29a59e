// servo-cli's entry: the command line, an application without a display,
// the run and its exit code.
#include <iostream>

#include <QCoreApplication>

#include "cli/Options.h"
#include "cli/Program.h"

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const cli::TParsed parsed = cli::Parse(args, SERVO_CONSOLE_VERSION);
    if (!parsed.options) {
        std::cout << parsed.out;
        std::cerr << parsed.err;
        return int(parsed.exit);
    }
    QCoreApplication app(argc, argv);
    return int(cli::Run(*parsed.options, std::cout, std::cerr));
}
