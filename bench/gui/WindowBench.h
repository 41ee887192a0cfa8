#pragma once
// What the window benchmarks share: their arguments (DIR [ROUNDS]) and the
// main window they time, shown at 1280x960 with every question answered by
// the dialogs' test seam.

#include "BenchCommon.h"
#include "Dialogs.h"
#include "UMain.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace phonebook::bench {

struct WindowBenchArgs {
    QString dir;
    int rounds = 7;
};

// Exits with the usage text when DIR is missing; ROUNDS is at least 1.
inline WindowBenchArgs ParseWindowBenchArgs(int argc, char *argv[], const char *usage)
{
    if (argc < 2)
        Usage(usage);
    WindowBenchArgs args;
    args.dir = QString::fromLocal8Bit(argv[1]);
    if (argc > 2)
        args.rounds = std::max(1, std::atoi(argv[2]));
    return args;
}

// The main window on the tables in `dir`, shown and painted once.
inline std::unique_ptr<TFrmMain> ShowMainWindow(const QString &dir)
{
    Dialogs::SetScripted(true);
    auto main = std::make_unique<TFrmMain>(ProgramPaths{dir, dir + QStringLiteral("/help")});
    main->resize(1280, 960);
    main->show();
    QApplication::processEvents();
    return main;
}

} // namespace phonebook::bench
