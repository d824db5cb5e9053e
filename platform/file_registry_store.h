// The registry stand-in: the machine-wide key store is one profile file,
// <folder>/HKEY_LOCAL_MACHINE.ini, with one section per key path as written
// ("Software\Ombrine\Qelmarch") and one entry per value ("Path=<dir>").
#pragma once

#include "app/start_up_services.h"

#include <QString>

namespace gearloft {

class FileRegistryStore : public RegistryStore {
public:
    // `folder` holds the store's files; see DefaultFolder().
    explicit FileRegistryStore(QString folder);

    // <the user's configuration folder>/Gearloft, so XDG_CONFIG_HOME moves it.
    static QString DefaultFolder();

    QByteArray ReadRegistryString(RegistryRoot root, const QByteArray& keyPath,
                                  const QByteArray& valueName,
                                  const QByteArray& defaultValue) override;
    bool WriteRegistryString(RegistryRoot root, const QByteArray& keyPath,
                             const QByteArray& valueName, const QByteArray& text) override;

    QString FileOf(RegistryRoot root) const;

private:
    QString m_folder;
};

}  // namespace gearloft
