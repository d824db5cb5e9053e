#include "platform/file_registry_store.h"

#include "app/profile_file.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace gearloft {
namespace {

// A caller accepts at most this many bytes including the terminating zero.
constexpr qsizetype kValueLimit = 4096;

}  // namespace

FileRegistryStore::FileRegistryStore(QString folder) : m_folder(std::move(folder)) {}

QString FileRegistryStore::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Gearloft");
}

QString FileRegistryStore::FileOf(RegistryRoot root) const {
    switch (root) {
        case RegistryRoot::LocalMachine:
            break;
    }
    return QDir(m_folder).filePath(QStringLiteral("HKEY_LOCAL_MACHINE.ini"));
}

QByteArray FileRegistryStore::ReadRegistryString(RegistryRoot root, const QByteArray& keyPath,
                                                 const QByteArray& valueName,
                                                 const QByteArray& defaultValue) {
    ProfileFile store;
    if (!store.Load(FileOf(root))) {
        return defaultValue;
    }
    const QByteArray value = store.GetString(keyPath, valueName, QByteArray());
    // A text that does not fit the caller's buffer is not cut short: a cut
    // path would name the wrong folder.
    if (value.isEmpty() || value.size() >= kValueLimit) {
        return defaultValue;
    }
    return value;
}

bool FileRegistryStore::WriteRegistryString(RegistryRoot root, const QByteArray& keyPath,
                                            const QByteArray& valueName, const QByteArray& text) {
    // One line per value: a text with a line break cannot be stored.
    if (keyPath.isEmpty() || valueName.isEmpty() || text.contains('\n') || text.contains('\r') ||
        keyPath.contains(']') || valueName.contains('=')) {
        return false;
    }
    const QString file = FileOf(root);
    ProfileFile store;
    // An existing store that cannot be read is left alone rather than
    // replaced by one holding only this value.
    if (!store.Load(file) && QFileInfo::exists(file)) {
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        return false;
    }
    return store.SetString(keyPath, valueName, text) && store.Save(file);
}

}  // namespace gearloft
