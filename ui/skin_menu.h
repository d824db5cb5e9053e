// The skin menu's contents: the skin descriptions found in the skin folders,
// listed by file name so that the menu is the same on every file system.
#pragma once

#include <atomic>

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace gearloft {

// At most this many skins are listed; further files are not read.
constexpr int kMaxListedSkins = 9;
// A menu entry shows at most this many characters of a skin's name.
constexpr int kSkinEntryLength = 32;

struct SkinMenuEntry {
    QString text;  // the name, cut to kSkinEntryLength characters
    QString file;  // the description's file name, as "Skin" stores it
};

struct SkinMenuContents {
    std::vector<SkinMenuEntry> skins;
    // The checked entry: 0 for the plain look, 1 to 9 for skins[marked - 1].
    int marked = 0;
};

// What each description file said when it was last read, so that a menu
// opened again reads only the files that changed since: a folder of
// thousands of files that are no skins costs one look at each file's size
// and times instead of reading and parsing it every time.
class SkinDescriptionCache {
public:
    // The skin's display name, or an empty one when the file is no listed
    // skin (unreadable, too large, no signature, no name).
    QString ListedName(const QString& path);
    // How many files were read (not answered from memory) so far.
    int reads() const { return m_reads; }

private:
    // The file's identity and times in nanoseconds, straight from the
    // system: turning times into dates costs more than the look itself.
    struct Known {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modified = 0;
        qint64 changed = 0;
        QString name;
        bool operator==(const Known& other) const {
            return device == other.device && inode == other.inode && size == other.size &&
                   modified == other.modified && changed == other.changed;
        }
    };
    QHash<QString, Known> m_known;
    int m_reads = 0;
};

// Reads the "*.skn" files of each folder in turn, each folder's in file-name
// order; a file name already met in an earlier folder is passed over (the
// "Skin" setting would name the earlier one). A file that cannot be read, is
// not a skin or has no name is skipped. The last listed skin whose name
// equals activeName (without case) is marked. With a cache, files unchanged
// since it last saw them are not read again. A set stop flag ends the scan
// early, with what it has.
SkinMenuContents ScanSkins(const QStringList& folders, const QString& activeName,
                           SkinDescriptionCache* cache = nullptr,
                           const std::atomic<bool>* stop = nullptr);

}  // namespace gearloft
