// Stand-ins for the services start-up takes from its surroundings: they
// record what the program asked for instead of showing or starting anything.
#pragma once

#include "app/start_up_services.h"
#include "app/user_interaction.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace gearloft::testing {

class RecordingUserInteraction : public UserInteraction {
public:
    void ShowMessage(const QString& text, MessageIcon icon) override {
        messages.emplace_back(text, icon);
    }
    void Beep() override { ++beeps; }

    std::vector<std::pair<QString, MessageIcon>> messages;
    int beeps = 0;
};

// Plays the user's choices in order: each is offered to the dialog's check
// until one is taken; running out of choices is a cancel.
class ScriptedFileDialog : public GameFileDialog {
public:
    QString ChooseGame(const std::function<bool(const QString& path)>& accept) override {
        ++shown;
        while (!choices.isEmpty()) {
            const QString choice = choices.takeFirst();
            if (accept(choice)) {
                return choice;
            }
            ++refused;
        }
        return QString();
    }

    QStringList choices;
    int shown = 0;
    int refused = 0;
};

class RecordingLauncher : public ProgramLauncher {
public:
    struct Call {
        QString program;
        QStringList arguments;
        QString workingDir;
        QString winePrefix;
    };
    using ProgramLauncher::Launch;
    bool Launch(const LaunchCommand& command, QString* whyNot) override {
        calls.push_back(
            {command.program, command.arguments, command.workingDir, command.winePrefix});
        if (!succeed) {
            *whyNot = QStringLiteral("cannot start");
        }
        return succeed;
    }

    std::vector<Call> calls;
    bool succeed = true;
};

}  // namespace gearloft::testing
