// The Open file dialog that asks for the game's executable: a non-native
// QFileDialog, so that a refused name keeps it open.
#pragma once

#include "app/start_up_services.h"

#include <QFileDialog>

namespace gearloft {

class GameExecutableDialog : public QFileDialog {
    Q_OBJECT
public:
    GameExecutableDialog(std::function<bool(const QString&)> acceptName, QWidget* parent = nullptr);

    void accept() override;

private:
    std::function<bool(const QString&)> m_acceptName;
};

class QtGameFileDialog : public GameFileDialog {
public:
    QString ChooseGame(const std::function<bool(const QString& path)>& accept) override;
};

}  // namespace gearloft
