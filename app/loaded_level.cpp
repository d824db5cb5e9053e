#include "app/loaded_level.h"

#include "app/app_state.h"
#include "app/debug_output.h"
#include "app/level_catalogue.h"
#include "app/regular_file.h"
#include "app/settings_keys.h"
#include "app/user_interaction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace gearloft {

namespace {

const char kLevelFolder[] = "Qel_Rifs";
const char kEnvFolder[] = "REBENVDT";
const char kRecordName[] = "QELENVIR";

constexpr int kSpinMax = 255;

std::uint32_t ReadWord(const unsigned char* record, std::uint32_t offset) {
    return qFromLittleEndian<std::uint32_t>(record + offset);
}

void WriteWord(unsigned char* record, std::uint32_t offset, std::uint32_t value) {
    qToLittleEndian<std::uint32_t>(value, record + offset);
}

// The entry of folder whose name equals name without regard to letter case,
// or an empty text.
QString FindIgnoringCase(const QString& folder, const QString& name, QDir::Filters filters) {
    const QStringList entries = QDir(folder).entryList(filters | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return QString();
}

// One line of the program's debug output.
void Report(const QString& line) {
    DebugOutput((line + QLatin1Char('\n')).toLocal8Bit().constData());
}

}  // namespace

// ---------------------------------------------------------------------------
// Spear count seam

void SpinSpearCount::Set(std::uint32_t count) {
    m_spin.setPosition(static_cast<int>(std::min<std::uint32_t>(count, kSpinMax)));
}

void SpinSpearCount::ShowRecordValue(std::uint32_t word) {
    // The spin control is given the word's low 16 bits and keeps its
    // position within 0 to 255, so 1000 shows as 255.
    m_spin.setPosition(static_cast<int>(std::min<std::uint32_t>(word & 0xFFFF, kSpinMax)));
}

std::uint32_t SpinSpearCount::ValueToSave() {
    return static_cast<std::uint32_t>(std::clamp(m_spin.position(), 0, kSpinMax));
}

std::uint32_t FieldSpearCount::ValueToSave() {
    if (static_cast<std::uint32_t>(nSpears) > kSpinMax) {
        nSpears = kSpinMax;
    }
    return static_cast<std::uint32_t>(nSpears);
}

// ---------------------------------------------------------------------------
// LoadedLevel

// Shows the wait cursor for the life of the guard.
class LoadedLevel::BusyGuard {
public:
    explicit BusyGuard(LevelView& view) : m_view(view) { m_view.SetBusy(true); }
    ~BusyGuard() { m_view.SetBusy(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    LevelView& m_view;
};

LoadedLevel::LoadedLevel(AppState& state, const LevelCatalogue& catalogue, LevelView& view,
                         SpearCount& count)
    : m_state(state), m_catalogue(catalogue), m_view(view), m_count(count) {}

LoadedLevel::~LoadedLevel() {
    Release();
}

QString LoadedLevel::levelFilePath(const QString& gameDir, const QString& stem) {
    QString dir = gameDir;
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/'))) {
        dir += QLatin1Char('/');
    }
    const QString fileName = stem + QStringLiteral(".rif");
    const QString exact = dir + QLatin1String(kLevelFolder) + QLatin1Char('/') + fileName;
    if (dir.isEmpty() || QFileInfo::exists(exact)) {
        return exact;
    }
    QString folder = QLatin1String(kLevelFolder);
    if (!QFileInfo(dir + folder).isDir()) {
        const QString found = FindIgnoringCase(dir, folder, QDir::Dirs | QDir::NoDotAndDotDot);
        if (found.isEmpty()) {
            return exact;
        }
        folder = found;
    }
    const QString file = FindIgnoringCase(dir + folder, fileName, QDir::Files);
    return file.isEmpty() ? exact : dir + folder + QLatin1Char('/') + file;
}

LoadedLevel::DiskStamp LoadedLevel::StampOf(const QString& path) {
    DiskStamp stamp;
    // Only a regular file no larger than a level can be is read: a pipe or
    // a device put in the level's place must not hold the program.
    QString why;
    const int fd = OpenRegularFile(path, RIF_MAX_FILE_SIZE, &why);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) {
            ::close(fd);
        }
        // A file that is there but cannot be read cannot be shown to be the
        // same; only its absence is certain.
        stamp.exists = fd >= 0 || errno != ENOENT || QFileInfo::exists(path);
        stamp.size = -1;
        return stamp;
    }
    stamp.exists = true;
    stamp.size = file.size();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        stamp.size = -1;
        return stamp;
    }
    stamp.hash = hash.result();
    return stamp;
}

void LoadedLevel::SetEditingEnabled(bool enabled) {
    m_view.SetEditingEnabled(enabled);
}

void LoadedLevel::Load() {
    m_view.ExchangeFromControls(fields);  // a count field that fails does not stop a load
    if (!m_catalogue.isValidRow(fields.nLevel)) {
        m_state.ui->Beep();
        return;
    }
    settings::Write(m_state.settings, settings::kLastLevel, fields.nLevel);

    BusyGuard busy(m_view);
    fields.switches.fill(false);
    m_count.Set(0);
    m_view.ExchangeToControls(fields);
    SetEditingEnabled(false);

    m_strLevelPath = levelFilePath(m_state.game.strGameDir, m_catalogue.stem(fields.nLevel));
    Release();
    m_pEnvItem = nullptr;
    m_loadRefusal.clear();

    // What is not a level file at all is refused by name, before anything
    // is read: a folder, a pipe, a device, a loop of links, a file larger
    // than any level. The library refuses these too, but cannot say which.
    {
        QString why;
        const int fd = OpenRegularFile(m_strLevelPath, RIF_MAX_FILE_SIZE, &why);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno == ELOOP) {
            m_loadRefusal = QStringLiteral("it is a loop of symbolic links, not a file");
        } else if (errno == EINVAL || errno == EFBIG) {
            m_loadRefusal = why;
        }
    }
    if (!m_loadRefusal.isEmpty()) {
        m_loadedStamp = DiskStamp{true, -1, QByteArray()};
        Report(QStringLiteral("ERROR: cannot load the level file '%1': %2")
                   .arg(m_strLevelPath, m_loadRefusal));
        m_state.ui->ShowMessage(QStringLiteral("ERROR: Failed to parse Level data!\n%1: %2.")
                                    .arg(QDir::toNativeSeparators(m_strLevelPath), m_loadRefusal),
                                MessageIcon::Error);
        return;
    }

    // Taken before reading, so that a change made while the file is read
    // counts as a change too.
    m_loadedStamp = StampOf(m_strLevelPath);
    if (m_state.tessera && m_state.tessera->LoadRifFile) {
        m_pRoot = m_state.tessera->LoadRifFile(QFile::encodeName(m_strLevelPath).constData());
    }
    if (!m_pRoot) {
        Report(QStringLiteral("ERROR: cannot load the level file '%1': %2")
                   .arg(m_strLevelPath, m_loadedStamp.exists
                                            ? QStringLiteral("damaged or unreadable")
                                            : QStringLiteral("no such file")));
        m_state.ui->ShowMessage(QStringLiteral("ERROR: Failed to parse Level data!"),
                                MessageIcon::Error);
        return;
    }
    m_tessera = m_state.tessera;
    const TESSERAEXPORT& lib = *m_tessera;

    RifItem* envFolder = lib.FindFirstRifItem(m_pRoot, kEnvFolder);
    m_pEnvItem = envFolder ? lib.FindFirstRifItem(envFolder, kRecordName) : nullptr;
    if (m_pEnvItem) {
        std::uint32_t size = 0;
        const auto* record =
            static_cast<const unsigned char*>(lib.GetRifItemData(m_pEnvItem, &size));
        if (!record || size < kRecordMinSize) {
            Report(QStringLiteral("WARNING: the equipment record of '%1' is %2 bytes, fewer than "
                                  "%3; editing is off")
                       .arg(m_strLevelPath)
                       .arg(size)
                       .arg(kRecordMinSize));
            m_pEnvItem = nullptr;
        } else {
            const std::uint32_t equipment = ReadWord(record, kEquipmentOffset);
            for (int bit = 0; bit < kSwitchCount; ++bit) {
                fields.switches[bit] = (equipment >> bit) & 1u;
            }
            m_count.ShowRecordValue(ReadWord(record, kSpearCountOffset));
            SetEditingEnabled(true);
        }
    } else {
        Report(QStringLiteral("WARNING: '%1' holds no equipment record; editing is off")
                   .arg(m_strLevelPath));
    }
    m_view.ExchangeToControls(fields);
}

bool LoadedLevel::ConfirmOverwriteIfChanged() {
    if (StampOf(m_strLevelPath) == m_loadedStamp) {
        return true;
    }
    Report(QStringLiteral("WARNING: '%1' changed on disk since it was loaded").arg(m_strLevelPath));
    switch (m_state.ui->AskAboutChangedFile(m_strLevelPath)) {
        case ChangedFileAnswer::Overwrite:
            return true;
        case ChangedFileAnswer::Reload:
            Load();
            return false;
        case ChangedFileAnswer::Cancel:
            break;
    }
    return false;
}

bool LoadedLevel::Save() {
    if (!m_view.ExchangeFromControls(fields)) {
        return false;
    }
    if (m_strLevelPath.isEmpty() || !m_pRoot || !m_pEnvItem) {
        m_state.ui->Beep();
        return false;
    }
    if (!ConfirmOverwriteIfChanged()) {
        return false;
    }
    const std::uint32_t spears = m_count.ValueToSave();

    BusyGuard busy(m_view);
    const TESSERAEXPORT& lib = *m_tessera;
    std::uint32_t size = 0;
    auto* record = static_cast<unsigned char*>(lib.GetRifItemData(m_pEnvItem, &size));
    if (!record || size < kRecordMinSize) {
        m_state.ui->ShowMessage(QStringLiteral("ERROR: No data!"), MessageIcon::Error);
        return false;
    }

    std::uint32_t equipment = ReadWord(record, kEquipmentOffset) & ~kEquipmentMask;
    for (int bit = 0; bit < kSwitchCount; ++bit) {
        if (fields.switches[bit]) {
            equipment |= 1u << bit;
        }
    }
    WriteWord(record, kEquipmentOffset, equipment);
    WriteWord(record, kSpearCountOffset, spears);

    SetEditingEnabled(false);
    const bool saved = lib.SaveRifFile(m_pRoot, QFile::encodeName(m_strLevelPath).constData());
    if (saved) {
        m_loadedStamp = StampOf(m_strLevelPath);
    } else {
        Report(QStringLiteral("ERROR: cannot save the level file '%1'").arg(m_strLevelPath));
        m_state.ui->ShowMessage(QStringLiteral("ERROR: Failed to compile and save Level data!"),
                                MessageIcon::Error);
    }
    SetEditingEnabled(true);
    return saved;
}

bool LoadedLevel::Restore() {
    m_count.Set(LevelCatalogue::kDefaultSpears);
    const std::uint32_t equipment = LevelCatalogue::defaultEquipment(fields.nLevel);
    for (int bit = 0; bit < kSwitchCount; ++bit) {
        fields.switches[bit] = (equipment >> bit) & 1u;
    }
    m_view.ExchangeToControls(fields);
    return Save();
}

bool LoadedLevel::Start() {
    if (!m_catalogue.isValidRow(fields.nLevel)) {
        m_state.ui->Beep();
        return false;
    }
    m_state.strLaunchParameters = QStringLiteral("-n %1").arg(m_catalogue.stem(fields.nLevel));
    return true;
}

void LoadedLevel::Release() {
    if (m_pRoot) {
        m_tessera->DeleteRifItem(m_pRoot);
        m_pRoot = nullptr;
    }
    m_pEnvItem = nullptr;
    m_tessera.reset();
}

}  // namespace gearloft
