#pragma once

#include <QDialog>
#include <QStringList>

namespace norvelle {

class Clipboard;

// The lines `brew` printed while one Homebrew update ran, verbatim and selectable, with
// "Copy" (all lines, joined by line feeds) and "Done". Shows and copies; changes nothing.
class BrewOutputView : public QDialog {
    Q_OBJECT

public:
    // `clipboard` must outlive the sheet; null uses the desktop's clipboard.
    explicit BrewOutputView(const QStringList& output, Clipboard* clipboard = nullptr, QWidget* parent = nullptr);
    ~BrewOutputView() override;

    const QStringList& output() const { return m_output; }
    static QString joinedOutput(const QStringList& output);

private:
    QStringList m_output;
    Clipboard* m_clipboard;
    std::unique_ptr<Clipboard> m_ownClipboard;
};

} // namespace norvelle
