#include "tools/cli/level_batch.h"

#include "app/loaded_level.h"
#include "app/regular_file.h"
#include "app/user_interaction.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>

namespace gearloft::cli {
namespace {

// The dialog's controls, as plain values: what a load shows is kept, what
// a save takes is what the run set.
class BatchView final : public LevelView {
public:
    bool ExchangeFromControls(LevelFields& fields) override {
        fields = controls;
        return true;
    }
    void ExchangeToControls(const LevelFields& fields) override { controls = fields; }
    void SetEditingEnabled(bool) override {}
    void SetBusy(bool) override {}

    LevelFields controls;
};

// The spear count as the record holds it: a save writes back the word that
// was read unless the run names a new count (a stored 1000 stays 1000 when
// only a switch changes).
class BatchSpearCount final : public SpearCount {
public:
    void Set(std::uint32_t count) override { value = count; }
    void ShowRecordValue(std::uint32_t word) override {
        recordWord = word;
        value = word;
    }
    std::uint32_t ValueToSave() override { return value; }

    std::uint32_t recordWord = 0;
    std::uint32_t value = 0;
};

// Keeps the level's messages instead of showing them.
class BatchMessages final : public UserInteraction {
public:
    void ShowMessage(const QString& text, MessageIcon) override { messages.append(text); }
    void Beep() override {}

    QStringList messages;
};

LevelState StateOfMissingLoad(const QString& path) {
    // Opened without waiting, as the load did: a pipe in the level's place
    // must not hold the batch.
    QString why;
    const int fd = OpenRegularFile(path, RIF_MAX_FILE_SIZE, &why);
    if (fd < 0) {
        return errno == ENOENT ? LevelState::kMissing : LevelState::kUnreadable;
    }
    ::close(fd);
    return LevelState::kNotChunkFile;
}

QString WhySaveFailed(const QString& path) {
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isWritable()) {
        return QStringLiteral("cannot save: the folder %1 is not writable; the file is unchanged")
            .arg(folder.filePath());
    }
    return QStringLiteral("cannot save (the disk may be full); the file is unchanged");
}

void DoLevel(const LevelBatch& batch, const EquipmentChange* change, LevelResult& result) {
    AppState state;
    BatchMessages messages;
    state.tessera = batch.lib;
    state.game = batch.game;
    state.ui = &messages;
    BatchView view;
    BatchSpearCount count;
    LoadedLevel level(state, batch.catalogue, view, count);

    view.controls.nLevel = result.row;
    level.Load();
    result.path = level.levelPath();
    if (!level.isLoaded()) {
        result.state = StateOfMissingLoad(result.path);
    } else if (!level.hasRecord()) {
        result.state = LevelState::kNoRecord;
    } else {
        result.state = LevelState::kOk;
        result.switches = view.controls.switches;
        result.spears = count.recordWord;
    }
    if (change == nullptr) {
        return;
    }
    if (result.state != LevelState::kOk) {
        result.failed = true;
        result.error = LevelStateText(result.state);
        if (!level.loadRefusal().isEmpty()) {
            result.error += QStringLiteral(": ") + level.loadRefusal();
        }
        return;
    }

    bool saved = false;
    if (change->restoreDefaults) {
        saved = level.Restore();
    } else {
        for (int bit = 0; bit < kSwitchCount; ++bit) {
            if (change->switches[bit].has_value()) {
                view.controls.switches[bit] = *change->switches[bit];
            }
        }
        if (change->spears.has_value()) {
            count.Set(*change->spears);
        }
        saved = level.Save();
    }
    if (!saved) {
        result.failed = true;
        result.error = WhySaveFailed(result.path);
    }
}

}  // namespace

QString LevelStateText(LevelState state) {
    switch (state) {
        case LevelState::kOk:
            return QStringLiteral("ok");
        case LevelState::kMissing:
            return QStringLiteral("missing");
        case LevelState::kUnreadable:
            return QStringLiteral("unreadable");
        case LevelState::kNotChunkFile:
            return QStringLiteral("not a chunk file");
        case LevelState::kNoRecord:
            return QStringLiteral("no equipment record");
    }
    return QString();
}

bool EquipmentChange::empty() const {
    if (restoreDefaults || spears.has_value()) {
        return false;
    }
    for (const auto& value : switches) {
        if (value.has_value()) {
            return false;
        }
    }
    return true;
}

std::vector<LevelResult> RunLevels(const LevelBatch& batch, const std::vector<int>& rows,
                                   const EquipmentChange* change, int threads,
                                   const std::function<void(int done)>& progress) {
    std::vector<LevelResult> results(rows.size());
    QThreadPool pool;
    // Two levels per core: a save ends waiting for its file to reach the
    // disk, and the second level keeps the core busy meanwhile.
    pool.setMaxThreadCount(threads > 0 ? threads : 2 * QThread::idealThreadCount());
    std::atomic<int> done{0};
    // Rows whose stems name the same file (a levels.cfg may do that) are done
    // one after the other by one task, in the order given, as the dialog would
    // do them; two tasks never write one file.
    std::map<QString, std::vector<LevelResult*>> byFile;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        results[i].row = rows[i];
        const QString path =
            LoadedLevel::levelFilePath(batch.game.strGameDir, batch.catalogue.stem(rows[i]));
        byFile[QFileInfo(path).absoluteFilePath()].push_back(&results[i]);
    }
    // The biggest files first: the small ones at the end fill in around
    // them, so no core waits idle while one big level finishes alone.
    std::vector<std::pair<qint64, const std::vector<LevelResult*>*>> bySize;
    for (const auto& [path, group] : byFile) {
        bySize.emplace_back(QFileInfo(path).size(), &group);
    }
    std::stable_sort(bySize.begin(), bySize.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [size, group] : bySize) {
        pool.start([&batch, change, group = *group, &done] {
            for (LevelResult* result : group) {
                DoLevel(batch, change, *result);
                done.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }
    while (!pool.waitForDone(100)) {
        if (progress) {
            progress(done.load(std::memory_order_relaxed));
        }
    }
    if (progress) {
        progress(static_cast<int>(rows.size()));
    }
    return results;
}

}  // namespace gearloft::cli
