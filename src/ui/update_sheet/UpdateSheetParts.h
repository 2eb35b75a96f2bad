#pragma once

#include "model/Application.h"
#include "model/UpdateProgress.h"
#include "ui/main/components/TextStyles.h"

#include <QColor>
#include <QFuture>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QBoxLayout;
class QLabel;
class QWidget;

namespace norvelle {

class Card;
class DetailViewModel;
class ElidingLabel;

// The small pieces every phase of the batch-update sheet draws alike: section headings with
// their count capsule, application icons, plain-text labels and the version line. Colours
// that derive from the palette are taken again whenever the palette changes, so the sheet
// follows a theme switched while it is open.
class UpdateSheetParts {
public:
    enum class Tone { primary, secondary, tertiary };
    // A text colour: a fixed one (green, red) or a tone of the current palette.
    struct Ink {
        Ink(const QColor& color) : fixed(color) {}
        Ink(Tone t) : tone(t) {}
        std::optional<QColor> fixed;
        Tone tone = Tone::primary;
        QColor color() const;
    };
    using RefreshAction = std::function<QFuture<void>()>;

    // A label that shows `text` verbatim (never as rich text).
    static QLabel* label(const QString& text, const QFont& font, const Ink& ink, QWidget* parent = nullptr);
    // One line of outside text, cut to the width it gets; the whole text in its tooltip.
    static ElidingLabel* elidedLabel(const QString& text, const QFont& font, const Ink& ink,
                                     QWidget* parent = nullptr);
    // Gives `widget` the ink's colour as its text colour, now and after every palette change.
    static void setInk(QWidget* widget, const Ink& ink);
    // Runs `apply` now and whenever `widget`'s palette changes.
    static void followPalette(QWidget* widget, std::function<void()> apply);
    // A card on the primary colour at opacity 0.037.
    static Card* card(QWidget* parent = nullptr);
    static void followCardTint(Card* card);
    // The section title (system font 20, medium, primary) alone.
    static QLabel* sectionTitle(const QString& text, QWidget* parent = nullptr);
    // The title followed 6 points apart by the count capsule; objectName "<name>Header", the
    // capsule "<name>Count".
    static QWidget* sectionHeader(const QString& title, qsizetype count, const QString& name,
                                  QWidget* parent = nullptr);
    static void setSectionCount(QWidget* header, qsizetype count);
    // The application's icon at `size` points, clipped to a rounded rectangle of `radius`.
    static QLabel* icon(const Application& application, int size, qreal radius, QWidget* parent = nullptr);
    // Installed version, "→", latest version, `spacing` apart; the latest version in `latestInk`,
    // medium weight. Without an update, the installed version and "No update available".
    static QWidget* versionLine(const Application& application, const Ink& latestInk, int spacing,
                                QWidget* parent = nullptr);
    // The same for versions the caller keeps (an update whose record the application has dropped).
    static QWidget* versionLine(const QString& currentVersion, const std::optional<QString>& latestVersion,
                                const Ink& latestInk, int spacing, QWidget* parent = nullptr);
    // The badge of the update's source, else of the first listed source, else null.
    static QWidget* sourceBadge(const Application& application, QWidget* parent = nullptr);
    // A vertical scroll area around `content`, which is padded 20 at the sides and bottom. The
    // content always gets exactly the viewport's width, whatever it holds.
    static QWidget* scrolling(QWidget* content, QWidget* parent = nullptr);
    static QFont font(TextStyles::Style style, QFont::Weight weight = QFont::Normal);

    // The shared update progress panel, the one place the sheet makes it.
    static QWidget* progressPanel(const UpdateProgress& progress, RefreshAction onRefreshApp,
                                  DetailViewModel& detailViewModel, QWidget* parent = nullptr);
    static void setPanelProgress(QWidget* panel, const UpdateProgress& progress);
};

} // namespace norvelle
