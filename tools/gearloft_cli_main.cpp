// gearloft-cli: the equipment of the game's levels without a window. Lists
// every level's switches and spears, sets named switches or the count over
// many levels at once, and restores the levels' defaults, on the same core as
// the dialog program, several levels at a time on all cores.
#include "app/level_catalogue.h"
#include "app/loaded_level.h"
#include "tools/cli/bound_library.h"
#include "tools/cli/cli_io.h"
#include "tools/cli/command_line.h"
#include "tools/cli/game_finder.h"
#include "tools/cli/level_batch.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>
#include <cstdio>
#include <set>

namespace gearloft::cli {
namespace {

const QString kProgram = QStringLiteral("gearloft-cli");

// The switches in bit order, with their option names.
const std::array<const char*, kSwitchCount> kSwitchOptions = {
    "pistol", "shoulder-cannon", "disk", "grappling-hook", "medicomp", "jet-pack"};
const std::array<const char*, kSwitchCount> kSwitchNames = {
    "Pistol", "Shoulder cannon", "Disk", "Grappling hook", "Medicomp", "Jet pack"};
const std::array<char, kSwitchCount> kSwitchLetters = {'P', 'S', 'D', 'G', 'M', 'J'};

QCommandLineOption GameOption() {
    return QCommandLineOption(QStringLiteral("game"),
                              QStringLiteral("The game's folder (the one holding Qel_Rifs); "
                                             "without it the game is found as Gearloft finds "
                                             "it."),
                              QStringLiteral("DIR"));
}

std::vector<Command> Commands() {
    std::vector<QCommandLineOption> setOptions;
    for (int bit = 0; bit < kSwitchCount; ++bit) {
        setOptions.emplace_back(QLatin1String(kSwitchOptions[bit]),
                                QStringLiteral("Turn the %1 on or off.")
                                    .arg(QString::fromLatin1(kSwitchNames[bit]).toLower()),
                                QStringLiteral("on|off"));
    }
    setOptions.emplace_back(QStringLiteral("spears"),
                            QStringLiteral("Set the spear count, 0 to 255."), QStringLiteral("N"));
    return {
        {QStringLiteral("list"),
         QStringLiteral("[--json]"),
         QStringLiteral("Every level of the level list: row, name, file stem, the state of its\n"
                        "file (ok, missing, unreadable, not a chunk file, no equipment record),\n"
                        "the six switches (P S D G M J: Pistol, Shoulder cannon, Disk,\n"
                        "Grappling hook, Medicomp, Jet pack; \"-\" when off) and the spear count\n"
                        "as stored."),
         {QCommandLineOption(QStringLiteral("json"),
                             QStringLiteral("One JSON object per level: row, name, stem, file, "
                                            "state, the six switches and spears."))},
         0,
         0},
        {QStringLiteral("set"), QStringLiteral("LEVEL... [--SWITCH on|off]... [--spears N]"),
         QStringLiteral("Change only the named switches and the count of each LEVEL (a row\n"
                        "number, a file stem or \"all\") and save it as Gearloft's Save does;\n"
                        "every other bit and byte of the file is kept. A value out of range\n"
                        "is refused before any file is touched."),
         setOptions, 1, -1},
        {QStringLiteral("restore"),
         QStringLiteral("LEVEL..."),
         QStringLiteral("Write each LEVEL's default equipment and 30 spears, as Gearloft's\n"
                        "Restore does."),
         {},
         1,
         -1},
    };
}

// ---------------------------------------------------------------------------
// Operands and option values, checked before any file is touched

bool ResolveLevels(const LevelCatalogue& catalogue, const QStringList& operands,
                   std::vector<int>* rows, QString* error) {
    std::set<int> seen;
    auto add = [&](int row) {
        if (seen.insert(row).second) {
            rows->push_back(row);
        }
    };
    for (const QString& operand : operands) {
        if (operand == QLatin1String("all")) {
            for (int row = 0; row < catalogue.rowCount(); ++row) {
                add(row);
            }
            continue;
        }
        bool isNumber = !operand.isEmpty();
        for (const QChar c : operand) {
            isNumber = isNumber && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        }
        if (isNumber) {
            bool ok = false;
            const int row = operand.toInt(&ok);
            if (!ok || !catalogue.isValidRow(row)) {
                *error = QStringLiteral("no level row %1 (rows are 0 to %2)")
                             .arg(operand)
                             .arg(catalogue.rowCount() - 1);
                return false;
            }
            add(row);
            continue;
        }
        int found = -1;
        for (int row = 0; row < catalogue.rowCount() && found < 0; ++row) {
            if (catalogue.stem(row) == operand) {
                found = row;
            }
        }
        for (int row = 0; row < catalogue.rowCount() && found < 0; ++row) {
            if (catalogue.stem(row).compare(operand, Qt::CaseInsensitive) == 0) {
                found = row;
            }
        }
        if (found < 0) {
            *error = QStringLiteral("no level '%1' (give a row number, a file stem or all)")
                         .arg(operand);
            return false;
        }
        add(found);
    }
    return true;
}

bool ReadChange(const QCommandLineParser& parser, EquipmentChange* change, QString* error) {
    for (int bit = 0; bit < kSwitchCount; ++bit) {
        const QString name = QLatin1String(kSwitchOptions[bit]);
        if (!parser.isSet(name)) {
            continue;
        }
        const QStringList values = parser.values(name);
        for (const QString& value : values) {
            if (value != QLatin1String("on") && value != QLatin1String("off")) {
                *error = QStringLiteral("--%1 takes on or off, not '%2'").arg(name, value);
                return false;
            }
        }
        if (values.size() > 1 && values.count(values.first()) != values.size()) {
            *error = QStringLiteral("--%1 is given both on and off").arg(name);
            return false;
        }
        change->switches[bit] = values.first() == QLatin1String("on");
    }
    if (parser.isSet(QStringLiteral("spears"))) {
        const QStringList values = parser.values(QStringLiteral("spears"));
        for (const QString& text : values) {
            bool digits = !text.isEmpty() && text.size() <= 3;
            for (const QChar c : text) {
                digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
            }
            if (!digits || text.toUInt() > 255) {
                *error = QStringLiteral("--spears takes a whole number from 0 to 255, not '%1'")
                             .arg(text);
                return false;
            }
            if (change->spears.has_value() && *change->spears != text.toUInt()) {
                *error = QStringLiteral("--spears is given two different counts");
                return false;
            }
            change->spears = text.toUInt();
        }
    }
    if (change->empty()) {
        *error = QStringLiteral("set names nothing to change (give --SWITCH on|off or --spears N)");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Progress on a terminal

class Progress {
public:
    explicit Progress(int total)
        : m_total(total), m_shown(total > 1 && IsTerminal(STDERR_FILENO)) {}
    ~Progress() {
        if (m_shown && m_drawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
    }
    void operator()(int done) {
        if (!m_shown || done == m_last) {
            return;
        }
        m_last = done;
        std::fprintf(stderr, "\r%s: %d of %d levels", qPrintable(kProgram), done, m_total);
        std::fflush(stderr);
        m_drawn = true;
    }

private:
    int m_total;
    bool m_shown;
    bool m_drawn = false;
    int m_last = -1;
};

// ---------------------------------------------------------------------------
// Commands

QString SwitchLetters(const LevelResult& result) {
    QString letters;
    for (int bit = 0; bit < kSwitchCount; ++bit) {
        letters += result.switches[bit] ? QLatin1Char(kSwitchLetters[bit]) : QLatin1Char('-');
    }
    return letters;
}

int RunList(const LevelBatch& batch, const QCommandLineParser& parser) {
    std::vector<int> rows;
    for (int row = 0; row < batch.catalogue.rowCount(); ++row) {
        rows.push_back(row);
    }
    std::vector<LevelResult> results;
    {
        Progress progress(static_cast<int>(rows.size()));
        results = RunLevels(batch, rows, nullptr, 0, std::ref(progress));
    }
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray levels;
        for (const LevelResult& result : results) {
            const bool ok = result.state == LevelState::kOk;
            QJsonObject level{{QStringLiteral("row"), result.row},
                              {QStringLiteral("name"), batch.catalogue.displayName(result.row)},
                              {QStringLiteral("stem"), batch.catalogue.stem(result.row)},
                              {QStringLiteral("file"), result.path},
                              {QStringLiteral("state"), LevelStateText(result.state)}};
            for (int bit = 0; bit < kSwitchCount; ++bit) {
                level.insert(QString::fromLatin1(kSwitchOptions[bit]),
                             ok ? QJsonValue(result.switches[bit]) : QJsonValue());
            }
            level.insert(QStringLiteral("spears"),
                         ok ? QJsonValue(static_cast<qint64>(result.spears)) : QJsonValue());
            levels.append(level);
        }
        Print(QString::fromUtf8(QJsonDocument(levels).toJson(QJsonDocument::Indented)));
        return kExitOk;
    }
    QString out = QStringLiteral("%1  %2 %3 %4 %5 %6\n")
                      .arg(QStringLiteral("row"))
                      .arg(QStringLiteral("name"), -36)
                      .arg(QStringLiteral("stem"), -10)
                      .arg(QStringLiteral("state"), -19)
                      .arg(QStringLiteral("PSDGMJ"))
                      .arg(QStringLiteral("spears"));
    for (const LevelResult& result : results) {
        const bool ok = result.state == LevelState::kOk;
        QString row = QStringLiteral("%1  %2 %3 %4 %5 %6")
                          .arg(result.row, 3)
                          .arg(batch.catalogue.displayName(result.row), -36)
                          .arg(batch.catalogue.stem(result.row), -10)
                          .arg(LevelStateText(result.state), -19)
                          .arg(ok ? SwitchLetters(result) : QStringLiteral("      "))
                          .arg(ok ? QString::number(result.spears) : QString());
        while (row.endsWith(QLatin1Char(' '))) {
            row.chop(1);
        }
        out += row + QLatin1Char('\n');
    }
    Print(out);
    return kExitOk;
}

int RunChange(const LevelBatch& batch, const QCommandLineParser& parser, bool restore) {
    std::vector<int> rows;
    QString error;
    if (!ResolveLevels(batch.catalogue, parser.positionalArguments(), &rows, &error)) {
        return UsageError(kProgram, error);
    }
    EquipmentChange change;
    change.restoreDefaults = restore;
    if (!restore && !ReadChange(parser, &change, &error)) {
        return UsageError(kProgram, error);
    }
    std::vector<LevelResult> results;
    {
        Progress progress(static_cast<int>(rows.size()));
        results = RunLevels(batch, rows, &change, 0, std::ref(progress));
    }
    int status = kExitOk;
    for (const LevelResult& result : results) {
        if (result.failed) {
            Complain(kProgram, QStringLiteral("%1 (row %2): %3")
                                   .arg(result.path)
                                   .arg(result.row)
                                   .arg(result.error));
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace
}  // namespace gearloft::cli

int main(int argc, char** argv) {
    using namespace gearloft::cli;
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(kProgram);

    CommandLine line(kProgram,
                     QStringLiteral("The equipment of Qelmarch's levels without a window: list, "
                                    "set and restore\nthe six switches and the spear count of "
                                    "many levels at once."),
                     Commands(), {GameOption()});
    int status = kExitOk;
    if (line.Parse(QCoreApplication::arguments().mid(1), QStringLiteral(PROJECT_VERSION),
                   &status) == CommandLine::Outcome::kExit) {
        return status;
    }
    const QCommandLineParser& parser = line.parser();

    // The catalogue as the dialog program reads it: levels.cfg beside the
    // program may rename rows and their files.
    gearloft::LevelCatalogue catalogue;
    catalogue.ApplyOverrideFile(
        gearloft::LevelCatalogue::overrideFilePath(QCoreApplication::applicationFilePath()));
    // Level operands and values are checked before anything else is done.
    if (line.command().name != QLatin1String("list")) {
        std::vector<int> rows;
        gearloft::cli::EquipmentChange change;
        QString error;
        if (!ResolveLevels(catalogue, parser.positionalArguments(), &rows, &error) ||
            (line.command().name == QLatin1String("set") && !ReadChange(parser, &change, &error))) {
            return UsageError(kProgram, error);
        }
    }

    gearloft::GameLocation game;
    const QString programDir = QCoreApplication::applicationDirPath();
    if (parser.isSet(QStringLiteral("game"))) {
        QString error;
        if (!GameInFolder(parser.value(QStringLiteral("game")), &game, &error)) {
            Complain(kProgram, error);
            return kExitFailed;
        }
    } else if (!FindGameQuietly(programDir, &game)) {
        Complain(kProgram,
                 QStringLiteral("cannot find Qelmarch: no Qel.exe in the folder Gearloft has "
                                "stored, beside the program, in the current folder or on PATH; "
                                "name the game's folder with --game DIR"));
        return kExitFailed;
    }

    BoundLibrary library;
    QString why;
    if (!library.Bind(programDir, &why)) {
        Complain(kProgram, why);
        return kExitFailed;
    }
    const LevelBatch batch{library.record(), game, catalogue};
    if (line.command().name == QLatin1String("list")) {
        return RunList(batch, parser);
    }
    return RunChange(batch, parser, line.command().name == QLatin1String("restore"));
}
