// Reads string values from Wine's registry files (system.reg, user.reg):
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to \\Machine
//   #arch=win64
//
//   [Software\\Ombrine\\Qelmarch] 1733812345
//   #time=1db4a1f0c2e3d00
//   "Path"="C:\\Games\\Qelmarch"
//   "Data"=hex:01,02,<backslash>
//     03,04
//
// A key line holds the key's path in brackets, each backslash doubled,
// followed by its time stamp; each value line is "name"=data, and a line
// that ends in a backslash goes on in the next. Strings keep
// Wine's escapes (\\ \" \n \t \xHHHH ...); other kinds (dword:, hex:,
// str(n):) are skipped, a hex value's continued lines with it. The file is
// read only: Wine owns it while it runs.
#pragma once

#include "app/wine_prefixes.h"

#include <QByteArray>

namespace gearloft {

class WineRegistryFile : public WineRegistryReader {
public:
    std::optional<QString> ReadString(const QString& registryFile, const QString& keyPath,
                                      const QString& valueName) const override;

    // The same lookup on a file's bytes, for callers that already hold them.
    static std::optional<QString> FindString(const QByteArray& contents, const QString& keyPath,
                                             const QString& valueName);
};

// The prefixes of the user running this program (from the environment and the
// home folder), read through `reader`, which must outlive the result. What the
// program and the command-line programs hand to the game's search.
WineSearch UsersWineSearch(const WineRegistryFile& reader);

}  // namespace gearloft
