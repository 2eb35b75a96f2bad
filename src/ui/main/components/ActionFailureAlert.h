#pragma once

#include <QString>

class QDialog;
class QUrl;
class QWidget;

namespace norvelle {

class Clipboard;

// The alert shown where the user acted when the desktop would not take a hand-over (a command for
// a terminal window, an address for a browser, a settings page): what failed, and the command or
// address as selectable text with a "Copy" button, so the user can carry on by hand. Window-modal
// to `parent` (opened, never run in a loop of its own) and deleted when it closes.
class ActionFailureAlert {
public:
    struct Content {
        QString title;
        QString message;
        QString copyText;   // empty: no field and no "Copy" button
        QString copyButton; // the button's text
    };

    // A command line that no terminal window would take, with the launcher's reason (which says
    // what to install or set).
    static Content terminalFailure(const QString& commandLine, const QString& reason);
    // An address that nothing on the desktop would open.
    static Content linkFailure(const QUrl& url);
    // The system's privacy settings page, which does not exist here or would not open.
    static Content permissionSettingsFailure();

    // `clipboard` may be null: the system clipboard is used.
    static QDialog* open(QWidget* parent, const Content& content, Clipboard* clipboard = nullptr);
};

} // namespace norvelle
