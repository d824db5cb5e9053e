// equipment_bench [--rounds N] [--scale F]
//
// How much of the work "gearloft-cli set all --jet-pack on" spreads over the
// machine's cores: the program's wall time over the demo game, against
// loading and saving the same levels one after the other through the library
// in this one process. Each side runs N rounds on the same files (a first,
// unmeasured run writes the plain levels back compressed, so every round
// does the same work); the best round of each counts. The figure is the
// ratio program / one-by-one; below 1 the program gained from its threads.
#include "app/level_catalogue.h"
#include "app/loaded_level.h"
#include "tools/cli/bound_library.h"
#include "tools/demo_game.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// Runs the program once; its wall time in milliseconds, or -1 when it did not
// end as expected (every level done but the demo game's awkward ones: 1).
double TimeProgram(const QString& game) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(GEARLOFT_CLI_PROGRAM),
                  {QStringLiteral("--game"), game, QStringLiteral("set"), QStringLiteral("all"),
                   QStringLiteral("--jet-pack"), QStringLiteral("on")});
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() > 1) {
        std::fprintf(stderr, "equipment_bench: gearloft-cli failed: %s\n",
                     process.readAllStandardError().constData());
        return -1;
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The same levels loaded, changed and saved one after the other.
double TimeOneByOne(const TESSERAEXPORT& lib, const gearloft::LevelCatalogue& catalogue,
                    const QString& game) {
    QElapsedTimer timer;
    timer.start();
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        const QByteArray path =
            QFile::encodeName(gearloft::LoadedLevel::levelFilePath(game, catalogue.stem(row)));
        RifItem* root = lib.LoadRifFile(path.constData());
        if (root == nullptr) {
            continue;
        }
        RifItem* env = lib.FindFirstRifItem(root, "REBENVDT");
        RifItem* record = env ? lib.FindFirstRifItem(env, "QELENVIR") : nullptr;
        std::uint32_t size = 0;
        auto* bytes = static_cast<unsigned char*>(lib.GetRifItemData(record, &size));
        if (bytes != nullptr && size >= gearloft::kRecordMinSize) {
            const auto equipment = qFromLittleEndian<std::uint32_t>(bytes + 16);
            qToLittleEndian<std::uint32_t>(equipment | gearloft::kJetPack, bytes + 16);
            if (!lib.SaveRifFile(root, path.constData())) {
                std::fprintf(stderr, "equipment_bench: cannot save %s\n", path.constData());
            }
        }
        lib.DeleteRifItem(root);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    int rounds = 5;
    gearloft::demo::Options options;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--rounds")) {
            rounds = std::max(1, arguments[i + 1].toInt());
        } else if (arguments[i] == QLatin1String("--scale")) {
            options.scale = arguments[i + 1].toDouble();
        }
    }

    QTemporaryDir folder;
    const QString game = folder.filePath(QStringLiteral("game"));
    std::string error;
    if (!folder.isValid() || !gearloft::demo::WriteDemoGame(game.toStdString(), options, &error)) {
        std::fprintf(stderr, "equipment_bench: cannot write the demo game: %s\n", error.c_str());
        return 1;
    }
    gearloft::cli::BoundLibrary library;
    QString why;
    if (!library.Bind(QCoreApplication::applicationDirPath(), &why)) {
        std::fprintf(stderr, "equipment_bench: %s\n", qPrintable(why));
        return 1;
    }
    const gearloft::LevelCatalogue catalogue;
    if (TimeProgram(game) < 0) {
        return 1;
    }

    double program = std::numeric_limits<double>::max();
    double oneByOne = std::numeric_limits<double>::max();
    for (int round = 0; round < rounds; ++round) {
        const double p = TimeProgram(game);
        if (p < 0) {
            return 1;
        }
        program = std::min(program, p);
        const double o = TimeOneByOne(library.api(), catalogue, game + "/");
        oneByOne = std::min(oneByOne, o);
        std::printf("round %d: gearloft-cli %.1f ms, one by one %.1f ms\n", round + 1, p, o);
    }
    std::printf("\ngearloft-cli set all --jet-pack on over %d levels (scale %g), %d cores\n",
                catalogue.rowCount(), options.scale, QThread::idealThreadCount());
    std::printf("  gearloft-cli (best of %d)        %8.1f ms\n", rounds, program);
    std::printf("  one by one in one process        %8.1f ms\n", oneByOne);
    std::printf("  ratio gearloft-cli / one by one  %8.2f   (target <= 0.60)\n",
                program / oneByOne);
    return 0;
}
