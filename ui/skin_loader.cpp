#include "ui/skin_loader.h"

#include "app/app_state.h"
#include "app/debug_output.h"
#include "app/start_up_rules.h"
#include "app/user_interaction.h"
#include "ui/skin_description.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace gearloft {

namespace {

QColor FromColorRef(std::uint32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// The module's file: a relative name that exists beside the description or
// in the program's folder is taken from there, as the Windows loader looks
// in the program's folder first; otherwise the name goes to the system's
// search as it stands.
QString ModuleFile(const AppState& state, const QString& descriptionFile, const QString& name) {
    if (QFileInfo(name).isAbsolute()) {
        return name;
    }
    const QStringList folders = {QFileInfo(descriptionFile).absolutePath(),
                                 ProgramDir(state.programPath)};
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (!folder.isEmpty() && QFileInfo::exists(path)) {
            return path;
        }
    }
    return name;
}

// Why a module file cannot be this program's library, read from its first
// bytes; empty when it may be one. The system's loader says "file too short"
// or even "No such file" for a library of another machine; this names it.
QString NotOurLibrary(const QString& path) {
    // ELF identification: magic, class, byte order; the machine at 18.
    constexpr qsizetype kHeader = 20;
    const auto head = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.read(kHeader) : QByteArray();
    };
    const QByteArray module = head(path);
    if (module.size() < kHeader || !module.startsWith("\x7f"
                                                      "ELF")) {
        return QStringLiteral("%1 is not a library").arg(path);
    }
    const QByteArray own = head(QStringLiteral("/proc/self/exe"));
    if (own.size() == kHeader &&
        (module[4] != own[4] || module[5] != own[5] || module.mid(18, 2) != own.mid(18, 2))) {
        return QStringLiteral("%1 is a library for another machine").arg(path);
    }
    return QString();
}

// A description that is there but is no text file a skin could be: the
// player chose it, so say why the standard look is shown.
void ReportRefusedDescription(AppState& state, const QString& descriptionFile,
                              skin::DescriptionRead read) {
    const QString file = QDir::toNativeSeparators(descriptionFile);
    const QString why = read == skin::DescriptionRead::TooLarge
                            ? QStringLiteral("is larger than %1 MB and was not read")
                                  .arg(skin::kMaxDescriptionBytes / (1024 * 1024))
                            : QStringLiteral("is not a file");
    state.ui->ShowMessage(
        QStringLiteral("ERROR: The skin description \"%1\" %2. Gearloft uses its standard look.")
            .arg(file, why),
        MessageIcon::Information);
}

}  // namespace

bool LoadSkin(AppState& state, const QString& descriptionFile) {
    const skin::DescriptionRead read = skin::ReadDescription(descriptionFile, state.activeSkin);
    if (read == skin::DescriptionRead::TooLarge || read == skin::DescriptionRead::NotAFile) {
        ReportRefusedDescription(state, descriptionFile, read);
        return false;
    }
    if (read != skin::DescriptionRead::Read || !skin::HasSignature(state.activeSkin)) {
        return false;
    }
    state.skinBackColor = state.activeSkin.GetColor(skin::kColors, skin::kBackground, 0x000000);
    state.skinTextColor = state.activeSkin.GetColor(skin::kColors, skin::kText, 0xFFFFFF);
    state.skinName = skin::DisplayName(state.activeSkin);

    const QString module = QString::fromLocal8Bit(
        state.activeSkin.GetString(skin::kLayout, skin::kModule, QByteArray()));
    if (module.isEmpty()) {
        return false;
    }
    const QString moduleFile = ModuleFile(state, descriptionFile, module);
    auto library = std::make_unique<QLibrary>(moduleFile);
    // The system's loader opens whatever it is given, and a pipe would keep
    // it waiting for ever: only a regular file (or a name for its search)
    // goes to it.
    const QFileInfo moduleInfo(moduleFile);
    QString why;
    if (moduleInfo.exists()) {
        why = moduleInfo.isFile() ? NotOurLibrary(moduleFile)
                                  : QStringLiteral("%1 is not a file").arg(moduleFile);
    }
    if (why.isEmpty() && !library->load()) {
        why = library->errorString();
    }
    if (!why.isEmpty()) {
        DebugOutput(QStringLiteral("ERROR: %1\n").arg(why).toLocal8Bit().constData());
        state.ui->ShowMessage(QStringLiteral("ERROR: Failed to load Skin resources."),
                              MessageIcon::Information);
        return false;
    }
    state.skinModule = std::move(library);
    return true;
}

void ReleaseSkin(AppState& state) {
    if (state.skinModule) {
        state.skinModule->unload();
        state.skinModule.reset();
    }
}

QPalette SkinPalette(std::uint32_t backColor, std::uint32_t textColor) {
    QPalette palette;
    const QColor back = FromColorRef(backColor);
    const QColor text = FromColorRef(textColor);
    for (const QPalette::ColorRole role :
         {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase}) {
        palette.setColor(role, back);
    }
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, text);
    }
    return palette;
}

}  // namespace gearloft
