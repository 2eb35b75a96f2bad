#pragma once

#include <QString>
#include <functional>

class QDialog;
class QMessageBox;
class QWidget;

namespace norvelle {

class Clipboard;
class DetailViewModel;

// The confirmation before a Homebrew command is handed to the terminal, with the toggle that
// stops the question for the rest of the session (bound both ways to the view model's
// `suppressTerminalAlert`). Window-modal to `parent`, deleted when it closes; `onOpen` runs on
// "Open Terminal" only, and never after `parent` is gone.
class TerminalAlert {
public:
    static QMessageBox* open(QWidget* parent, const QString& title, const QString& message,
                             DetailViewModel& viewModel, std::function<void()> onOpen);

    // Hands `commandLine` to the terminal through the view model; when no terminal took it, tells
    // the user so over `parent`'s window, with the command to copy. Returns that alert, else null.
    static QDialog* run(QWidget* parent, DetailViewModel& viewModel, const QString& commandLine,
                        Clipboard* clipboard = nullptr);
};

} // namespace norvelle
