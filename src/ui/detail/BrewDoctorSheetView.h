#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;

namespace norvelle {

class DetailViewModel;

// Homebrew's own health check: opening the sheet runs `brew doctor` (unless a run is already
// under way), shows the running state, then a green "ready" or orange "issues" verdict above
// brew's text. The run and its result belong to the view model, so the sheet shows the last
// result until a new run clears it. One run at a time: "Run Again" is disabled while one runs.
class BrewDoctorSheetView : public QDialog {
    Q_OBJECT

public:
    enum class State { idle, running, result };
    // The result shows whenever there is output; else the running state while a run is under way.
    static State state(bool isRunning, const QString& output);

    explicit BrewDoctorSheetView(DetailViewModel& viewModel, QWidget* parent = nullptr);
    ~BrewDoctorSheetView() override;

    State currentState() const { return m_state; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void sync();
    void run();

    DetailViewModel& m_viewModel;
    State m_state = State::idle;
    QStackedWidget* m_body = nullptr;
    QWidget* m_idle = nullptr;
    QWidget* m_running = nullptr;
    QScrollArea* m_result = nullptr;
    QLabel* m_verdictIcon = nullptr;
    QLabel* m_verdict = nullptr;
    QLabel* m_output = nullptr;
    QPushButton* m_runButton = nullptr;
};

} // namespace norvelle
