#pragma once

#include "model/Application.h"
#include "ui/main/components/TextStyles.h"

#include <QColor>
#include <QString>
#include <memory>

class QBoxLayout;
class QLabel;
class QWidget;

namespace norvelle {

// The small pieces every phase of the batch-update sheet draws alike: section headings with
// their count capsule, application icons, plain-text labels and the version line.
class UpdateSheetParts {
public:
    // A label that shows `text` verbatim (never as rich text).
    static QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
    // The section title (system font 20, medium, primary) alone.
    static QLabel* sectionTitle(const QString& text, QWidget* parent = nullptr);
    // The title followed 6 points apart by the count capsule; objectName "<name>Header".
    static QWidget* sectionHeader(const QString& title, qsizetype count, const QString& name,
                                  QWidget* parent = nullptr);
    // The application's icon at `size` points, clipped to a rounded rectangle of `radius`.
    static QLabel* icon(const Application& application, int size, qreal radius, QWidget* parent = nullptr);
    // Installed version, "→", latest version (empty when there is none), `spacing` apart; the
    // latest version in `latestColor`, medium weight.
    static QWidget* versionLine(const Application& application, const QColor& latestColor, int spacing,
                                QWidget* parent = nullptr);
    // The badge of the update's source, else of the first listed source, else null.
    static QWidget* sourceBadge(const Application& application, QWidget* parent = nullptr);
    // A vertical scroll area around `content`, which is padded 20 at the sides and bottom.
    static QWidget* scrolling(QWidget* content, QWidget* parent = nullptr);
    static QFont font(TextStyles::Style style, QFont::Weight weight = QFont::Normal);
};

} // namespace norvelle
