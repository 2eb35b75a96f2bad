#pragma once

#include <QString>
#include <QWidget>

class QPushButton;

namespace norvelle {

class Clipboard;
class CodeCommandView;
class CopyFlag;
class UrlOpener;

// One tool-installation block: the title and description, "Open in Terminal" and "Learn More",
// and the command to copy by hand. What running the command means is the caller's: the
// Terminal button only signals.
class InstallSourceView : public QWidget {
    Q_OBJECT

public:
    struct Content {
        QString title;
        QString description;
        QString command;
        QString learnMoreURL;
        bool isDisabled = false; // disables "Open in Terminal" only
    };

    // `copied`, `urlOpener` and `clipboard` must outlive the view; null ones do nothing.
    InstallSourceView(const Content& content, CopyFlag& copied, UrlOpener* urlOpener, Clipboard* clipboard,
                      QWidget* parent = nullptr);

    QPushButton* openTerminalButton() const { return m_openTerminal; }
    QPushButton* learnMoreButton() const { return m_learnMore; }
    CodeCommandView* commandView() const { return m_commandView; }

Q_SIGNALS:
    void openTerminalClicked();

private:
    QPushButton* m_openTerminal = nullptr;
    QPushButton* m_learnMore = nullptr;
    CodeCommandView* m_commandView = nullptr;
};

} // namespace norvelle
