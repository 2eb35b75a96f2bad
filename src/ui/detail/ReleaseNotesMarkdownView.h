#pragma once

#include <QString>
#include <QWidget>

class QTextDocument;
class QTextEdit;

namespace norvelle {

// Release notes rendered from their small Markdown dialect (see ReleaseNotesMarkdown)
// into one read-only, selectable text document: one paragraph per parsed line, built
// run by run, so no piece of the notes is ever read as markup. The text scrolls
// inside the view when it gets less height than the notes need.
class ReleaseNotesMarkdownView : public QWidget {
    Q_OBJECT

public:
    explicit ReleaseNotesMarkdownView(const QString& markdown = {}, QWidget* parent = nullptr);

    QString markdown() const { return m_markdown; }
    // Parses and renders the text afresh.
    void setMarkdown(const QString& markdown);

    // The rendered document, for reading what is shown.
    const QTextDocument* document() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void render();

    QString m_markdown;
    QTextEdit* m_text = nullptr;
};

} // namespace norvelle
