#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace norvelle {

class DetailViewModel;

// The confirmation before a Homebrew command is handed to the terminal, with the toggle that
// stops the question for the rest of the session (bound both ways to the view model's
// `suppressTerminalAlert`). Window-modal to `parent`, deleted when it closes; `onOpen` runs on
// "Open Terminal" only, and never after `parent` is gone.
class TerminalAlert {
public:
    static QMessageBox* open(QWidget* parent, const QString& title, const QString& message,
                             DetailViewModel& viewModel, std::function<void()> onOpen);
};

} // namespace norvelle
