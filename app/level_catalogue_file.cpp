// The catalogue file "levels.cfg": a player's own names and file stems for
// the catalogue's rows. Kept apart from the built-in table so that programs
// that only need the table (the demo game generator) do without the profile
// file.
#include "app/level_catalogue.h"

#include "app/debug_output.h"
#include "app/profile_file.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace gearloft {

namespace {

void Report(const QString& line) {
    DebugOutput((QStringLiteral("levels.cfg: ") + line + QLatin1Char('\n')).toUtf8().constData());
}

}  // namespace

int LevelCatalogue::ApplyOverrides(const ProfileFile& file) {
    int taken = 0;
    for (int row = 0; row < kRowCount; ++row) {
        const QByteArray section = "Level " + QByteArray::number(row);
        // GetString gives the same default for an absent key and for a key
        // without a value ("Name="); HasKey tells the two apart, so that an
        // empty value is reported rather than passed over.
        const bool hasName = file.HasKey(section, "Name");
        const bool hasStem = file.HasKey(section, "Stem");
        const QByteArray name = file.GetString(section, "Name", QByteArray());
        const QByteArray stem = file.GetString(section, "Stem", QByteArray());
        if (hasName) {
            const QString text = QString::fromUtf8(name).trimmed();
            if (text.isEmpty() || text.contains(QLatin1Char('\0'))) {
                Report(QStringLiteral("[%1] Name is empty; ignored").arg(QLatin1String(section)));
            } else {
                m_rows[row].displayName = text;
                ++taken;
            }
        }
        if (hasStem) {
            const QString text = QString::fromUtf8(stem).trimmed();
            if (!isUsableStem(text)) {
                // Control characters are shown as "?", so the line stays one line.
                QString shown = text;
                for (QChar& c : shown) {
                    if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
                        c = QLatin1Char('?');
                    }
                }
                Report(QStringLiteral("[%1] Stem \"%2\" is not a file name; ignored")
                           .arg(QLatin1String(section), shown));
            } else {
                m_rows[row].stem = text;
                ++taken;
            }
        }
    }
    return taken;
}

int LevelCatalogue::ApplyOverrideFile(const QString& path) {
    // Only a missing file passes without a word: whatever else stands in its
    // place (a folder, a pipe, a device, a file too large or unreadable) is
    // reported and the built-in names are kept.
    ProfileFile file;
    if (!file.Load(path)) {
        if (!file.readError().isEmpty()) {
            Report(QStringLiteral("cannot read %1 (%2); built-in names kept")
                       .arg(path, file.readError()));
        }
        return 0;
    }
    return ApplyOverrides(file);
}

QString LevelCatalogue::overrideFilePath(const QString& programPath) {
    const QString folder = programPath.isEmpty() ? QCoreApplication::applicationDirPath()
                                                 : QFileInfo(programPath).absolutePath();
    return folder + QStringLiteral("/levels.cfg");
}

}  // namespace gearloft
