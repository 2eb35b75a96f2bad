#pragma once

#include "ui/main/components/CommandField.h"

#include <QString>

namespace norvelle {

class Clipboard;
class CopyFlag;

// The onboarding's command field: text in the inherited colour, in the caption size when long,
// and a copy button that puts the whole line on the clipboard and shows a green checkmark while
// the caller's flag is raised.
class CodeCommandView : public CommandField {
    Q_OBJECT

public:
    // Commands longer than this many characters are shown in the caption size.
    static constexpr int captionFontThreshold = 50;

    // `copied` and `clipboard` must outlive the view; a null clipboard copies nothing but the
    // confirmation still shows.
    CodeCommandView(const QString& command, CopyFlag& copied, Clipboard* clipboard,
                    QWidget* parent = nullptr);

    // Whether the command is shown in the caption size (counted in user-perceived characters).
    static bool usesCaptionFont(const QString& command);

private:
    void showCopied(bool copied);

    QString m_commandText;
    CopyFlag& m_copied;
    Clipboard* m_clipboard;
};

} // namespace norvelle
