// The splash screen: a caption-less picture shown before the main dialog
// for a set time, or until the user clicks it.
#pragma once

#include <QDialog>

#include <cstdint>

namespace gearloft {

struct AppState;

class SplashDialog : public QDialog {
    Q_OBJECT
public:
    // durationMs: how long the splash stays, in milliseconds.
    explicit SplashDialog(std::uint32_t durationMs, QWidget* parent = nullptr);
    ~SplashDialog() override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_timerId = 0;
};

// Shows the splash screen modally for state.splashDuration.
void RunSplashDialog(AppState& state);

}  // namespace gearloft
