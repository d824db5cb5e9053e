// memory_bench [--scale F] [--folder DIR]
//
// Peak resident memory of the level work against the size of the plain chunk
// stream it handles:
//   - loading, and loading then saving, the largest level of the demo game;
//   - "gearloft-cli set all" over a whole game folder, and the same batch
//     code (RunLevels) over 10, 100 and 1000 levels, to show that the peak
//     does not grow with the number of levels.
// Every figure is taken in a fresh child process (this program run again in
// one of its work modes, or gearloft-cli itself): its peak as wait4 reports
// it, less the peak of the same program doing everything but the level work,
// divided by the plain size. A child's peak counts from its exec, so the
// parent stays small: the game folders are written by a child too.
#include "app/level_catalogue.h"
#include "app/loaded_level.h"
#include "tools/cli/bound_library.h"
#include "tools/cli/game_finder.h"
#include "tools/cli/level_batch.h"
#include "tools/demo_game.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using gearloft::LevelCatalogue;
using gearloft::LoadedLevel;

constexpr int kBatchCounts[] = {10, 100, 1000};

// ---------------------------------------------------------------------------
// Children

struct Child {
    bool ok = false;
    long peakKiB = 0;    // ru_maxrss
    std::string output;  // what it printed on standard output
};

// Runs program with arguments and waits for it; its peak resident memory and
// its standard output.
Child Run(const std::string& program, const std::vector<std::string>& arguments) {
    Child child;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return child;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        // gearloft-cli names every missing level of the empty games.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        child.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) {
        return child;
    }
    child.peakKiB = usage.ru_maxrss;
    // gearloft-cli ends with 1 when some levels are missing, as the empty
    // game's are.
    child.ok = WEXITSTATUS(status) <= 1;
    return child;
}

// ---------------------------------------------------------------------------
// Work modes (run in a child)

bool Bind(gearloft::cli::BoundLibrary* library) {
    QString why;
    if (!library->Bind(QCoreApplication::applicationDirPath(), &why)) {
        std::fprintf(stderr, "memory_bench: %s\n", qPrintable(why));
        return false;
    }
    return true;
}

// --level idle|load|save PATH: binds the library, then nothing, a load, or
// a load and a save over the same file.
int LevelMode(const QString& what, const QString& path) {
    gearloft::cli::BoundLibrary library;
    if (!Bind(&library)) {
        return 2;
    }
    if (what == QLatin1String("idle")) {
        return 0;
    }
    const TESSERAEXPORT& lib = library.api();
    const QByteArray name = QFile::encodeName(path);
    RifItem* root = lib.LoadRifFile(name.constData());
    if (root == nullptr) {
        return 2;
    }
    const bool ok = what == QLatin1String("load") || lib.SaveRifFile(root, name.constData());
    lib.DeleteRifItem(root);
    return ok ? 0 : 2;
}

// --largest GAME: prints the plain stream size and path of the game's
// largest level.
int LargestMode(const QString& game) {
    gearloft::cli::BoundLibrary library;
    if (!Bind(&library)) {
        return 2;
    }
    const TESSERAEXPORT& lib = library.api();
    const LevelCatalogue catalogue;
    std::uint32_t largest = 0;
    QString largestPath;
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        const QString path = LoadedLevel::levelFilePath(game + "/", catalogue.stem(row));
        RifItem* root = lib.LoadRifFile(QFile::encodeName(path).constData());
        if (root == nullptr) {
            continue;
        }
        std::uint32_t length = 0;
        void* stream = lib.CompileRif(root, &length);
        lib.ReleaseBuffer(stream);
        lib.DeleteRifItem(root);
        if (length > largest) {
            largest = length;
            largestPath = path;
        }
    }
    std::printf("%u %s\n", largest, qPrintable(largestPath));
    return largest > 0 ? 0 : 2;
}

// --batch GAME N: the batch of gearloft-cli set over N levels, the rows of
// the catalogue over and over (0: the batch over no level at all).
int BatchMode(const QString& game, int count) {
    gearloft::cli::BoundLibrary library;
    if (!Bind(&library)) {
        return 2;
    }
    gearloft::GameLocation location;
    QString error;
    if (!gearloft::cli::GameInFolder(game, &location, &error)) {
        return 2;
    }
    const LevelCatalogue catalogue;
    const gearloft::cli::LevelBatch batch{library.record(), location, catalogue};
    // The largest levels first, so that every batch, the one of 10 too,
    // holds the largest ones at once.
    std::vector<std::pair<qint64, int>> bySize;
    for (int row = 0; row < catalogue.rowCount(); ++row) {
        bySize.emplace_back(
            -QFileInfo(LoadedLevel::levelFilePath(game + "/", catalogue.stem(row))).size(), row);
    }
    std::sort(bySize.begin(), bySize.end());
    std::vector<int> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(bySize[static_cast<std::size_t>(i) % bySize.size()].second);
    }
    gearloft::cli::EquipmentChange change;
    change.spears = 7;
    gearloft::cli::RunLevels(batch, rows, &change, 0, {});
    return 0;
}

// --make GAME SCALE ROWS: the demo game, then only its ROWS largest level
// files (0: an empty level folder, -1: all).
int MakeMode(const QString& game, double scale, int rows) {
    gearloft::demo::Options options;
    options.scale = scale;
    std::string error;
    if (!gearloft::demo::WriteDemoGame(game.toStdString(), options, &error)) {
        std::fprintf(stderr, "memory_bench: cannot write the demo game: %s\n", error.c_str());
        return 2;
    }
    if (rows >= 0) {
        const LevelCatalogue catalogue;
        std::vector<std::pair<qint64, QString>> bySize;
        for (int row = 0; row < catalogue.rowCount(); ++row) {
            const QString path = LoadedLevel::levelFilePath(game + "/", catalogue.stem(row));
            bySize.emplace_back(-QFileInfo(path).size(), path);
        }
        std::sort(bySize.begin(), bySize.end());
        for (std::size_t i = static_cast<std::size_t>(rows); i < bySize.size(); ++i) {
            QFile::remove(bySize[i].second);
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The figures

double Ratio(long peakKiB, long baseKiB, double plainBytes) {
    return static_cast<double>(peakKiB - baseKiB) * 1024.0 / plainBytes;
}

int Measure(double scale, const QString& where) {
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string cli = GEARLOFT_CLI_PROGRAM;
    QTemporaryDir folder(where.isEmpty() ? QDir::tempPath() + "/memory_bench-XXXXXX"
                                         : where + "/memory_bench-XXXXXX");
    if (!folder.isValid()) {
        std::fprintf(stderr, "memory_bench: cannot make a temporary folder\n");
        return 1;
    }
    const std::string game = folder.filePath("game").toStdString();
    const std::string ten = folder.filePath("ten").toStdString();
    const std::string empty = folder.filePath("empty").toStdString();
    const std::string scaleText = std::to_string(scale);
    if (!Run(self, {"--make", game, scaleText, "-1"}).ok ||
        !Run(self, {"--make", ten, scaleText, "10"}).ok ||
        !Run(self, {"--make", empty, scaleText, "0"}).ok) {
        return 1;
    }
    const Child largest = Run(self, {"--largest", game});
    const std::size_t space = largest.output.find(' ');
    if (!largest.ok || space == std::string::npos) {
        return 1;
    }
    const double plain = std::strtod(largest.output.c_str(), nullptr);
    std::string level = largest.output.substr(space + 1);
    level.erase(level.find_last_not_of('\n') + 1);

    std::printf("Peak resident memory over a baseline, divided by the plain stream's size\n");
    std::printf("(demo game at scale %g; largest level %.2f MB plain, %.2f MB on disk)\n\n", scale,
                plain / 1e6,
                static_cast<double>(QFileInfo(QString::fromStdString(level)).size()) / 1e6);

    const Child idle = Run(self, {"--level", "idle", level});
    const Child load = Run(self, {"--level", "load", level});
    const Child save = Run(self, {"--level", "save", level});
    if (!idle.ok || !load.ok || !save.ok) {
        std::fprintf(stderr, "memory_bench: a level child failed\n");
        return 1;
    }
    std::printf("one level (baseline %ld KiB)                 peak KiB   ratio  (goal <= 3)\n",
                idle.peakKiB);
    std::printf("  load                                      %8ld  %6.2f\n", load.peakKiB,
                Ratio(load.peakKiB, idle.peakKiB, plain));
    std::printf("  load and save                             %8ld  %6.2f\n\n", save.peakKiB,
                Ratio(save.peakKiB, idle.peakKiB, plain));

    // The ratios of the batch are to the largest level's plain size: the
    // batch holds a few levels at once (one per thread), never all of them.
    const Child cliBase = Run(cli, {"--game", empty, "set", "all", "--spears", "7"});
    const Child cliTen = Run(cli, {"--game", ten, "set", "all", "--spears", "7"});
    const Child cliAll = Run(cli, {"--game", game, "set", "all", "--spears", "7"});
    const Child batchBase = Run(self, {"--batch", game, "0"});
    if (!cliBase.ok || !cliTen.ok || !cliAll.ok || !batchBase.ok) {
        std::fprintf(stderr, "memory_bench: a batch child failed\n");
        return 1;
    }
    std::printf("gearloft-cli set all (baseline %ld KiB)      peak KiB   ratio  (goal: flat)\n",
                cliBase.peakKiB);
    std::printf("  game with its 10 largest level files     %8ld  %6.2f\n", cliTen.peakKiB,
                Ratio(cliTen.peakKiB, cliBase.peakKiB, plain));
    std::printf("  game with all 59 level files              %8ld  %6.2f\n", cliAll.peakKiB,
                Ratio(cliAll.peakKiB, cliBase.peakKiB, plain));
    std::printf("its batch in one process (baseline %ld KiB)\n", batchBase.peakKiB);
    for (const int count : kBatchCounts) {
        const Child batch = Run(self, {"--batch", game, std::to_string(count)});
        if (!batch.ok) {
            std::fprintf(stderr, "memory_bench: the batch of %d failed\n", count);
            return 1;
        }
        std::printf("  %4d levels                               %8ld  %6.2f\n", count,
                    batch.peakKiB, Ratio(batch.peakKiB, batchBase.peakKiB, plain));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString mode = arguments.value(1);
    if (mode == QLatin1String("--level") && arguments.size() == 4) {
        return LevelMode(arguments[2], arguments[3]);
    }
    if (mode == QLatin1String("--largest") && arguments.size() == 3) {
        return LargestMode(arguments[2]);
    }
    if (mode == QLatin1String("--batch") && arguments.size() == 4) {
        return BatchMode(arguments[2], arguments[3].toInt());
    }
    if (mode == QLatin1String("--make") && arguments.size() == 5) {
        return MakeMode(arguments[2], arguments[3].toDouble(), arguments[4].toInt());
    }
    double scale = 4.0;
    QString where;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--scale")) {
            scale = arguments[i + 1].toDouble();
        } else if (arguments[i] == QLatin1String("--folder")) {
            where = arguments[i + 1];
        }
    }
    if (!(scale > 0.0) || scale > 16.0) {
        std::fprintf(stderr, "memory_bench: --scale wants a number above 0, at most 16\n");
        return 2;
    }
    return Measure(scale, where);
}
