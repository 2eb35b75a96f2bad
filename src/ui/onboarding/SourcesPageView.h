#pragma once

#include <QWidget>

namespace norvelle {

// The tour page that names the three update sources, each on a card, and says how they are
// asked (through the community's command-line tools, the newest update winning).
class SourcesPageView : public QWidget {
    Q_OBJECT

public:
    explicit SourcesPageView(QWidget* parent = nullptr);

    // A fixed text with inline bold spans ("**…**") as escaped rich text.
    static QString boldSpans(const QString& text);
};

} // namespace norvelle
