#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace norvelle {

// A label that shows its text verbatim (never as markup), in the given font and colour.
QLabel* makePlainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent,
                       const char* objectName = nullptr, Qt::Alignment alignment = {});
// Sets up a label of another kind (one that elides or clamps its text) as makePlainLabel does.
void setUpPlainLabel(QLabel* label, const QFont& font, const QColor& color, const char* objectName = nullptr,
                     Qt::Alignment alignment = {});

// Sets a widget's text colour for both window and base backgrounds: on a Base background
// (the detail pane's white) labels draw in Text, not WindowText. A colour that is one of
// SystemColors' text styles (primary, secondary, tertiary) keeps following that style when the
// palette changes.
void setTextColor(QWidget* widget, const QColor& color);

} // namespace norvelle
