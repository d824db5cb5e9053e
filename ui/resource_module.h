// Where a skinned dialog takes its template and pictures from: the loaded
// skin module's resources under ":/skin", or the program's own under
// ":/gearloft". Both name their files by id (dialog/103.ui, bitmap/147.png).
#pragma once

#include <QString>

class QLibrary;

namespace gearloft {

struct ResourceModule {
    QString root;                 // ":/skin" or ":/gearloft"
    QLibrary* library = nullptr;  // the skin module; null for the program

    static ResourceModule Program() { return {QStringLiteral(":/gearloft"), nullptr}; }
    // The program's own when library is null.
    static ResourceModule Skin(QLibrary* library) {
        return library ? ResourceModule{QStringLiteral(":/skin"), library} : Program();
    }

    QString dialog(int id) const { return root + QStringLiteral("/dialog/%1.ui").arg(id); }
    QString bitmap(int id) const { return root + QStringLiteral("/bitmap/%1.png").arg(id); }
};

}  // namespace gearloft
