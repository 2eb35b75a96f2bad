#pragma once

#include "model/Application.h"
#include "ui/main/components/BadgeChip.h"

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QIcon>
#include <QList>
#include <QRect>
#include <QStyledItemDelegate>

namespace norvelle {

// Draws one sidebar row: the application's icon, name, source badges, installed and new
// version, and at the trailing edge the adoption and update indicators. Reads everything from
// the ApplicationListModel roles; an ignored application is drawn at half opacity.
class ApplicationRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ApplicationRowDelegate(QObject* parent = nullptr);

    // One status indicator of a row: where it sits, its symbol (empty for a spinner) and help.
    struct StatusSlot {
        QRect rect;
        QString symbol;
        QString tooltip;
    };
    // The indicators of a row in `rowRect`, adoption slot first.
    static QList<StatusSlot> statusSlots(const QRect& rowRect, const Application::Snapshot& application,
                                         bool isUpdating, bool isAdopting);
    // A text of a row: where it is drawn, what it shows and the whole text it stands for.
    struct RowText {
        QRect rect;
        QString shown;
        QString whole;
    };
    // The name, the installed version and, with an update, the new version of the row in
    // `rowRect` drawn in `font`; the versions each cut with "…" to their share of the line.
    static QList<RowText> rowTexts(const QRect& rowRect, const QFont& font,
                                   const Application::Snapshot& application, bool isUpdating,
                                   bool isAdopting);
    // The installed and the new version (empty without an update) as shown on `room` pixels
    // beside the icon (ElidingLabel::shareWidth).
    static std::pair<QString, QString> versionTexts(int room, const QFont& font,
                                                    const Application::Snapshot& application);
    // A badge as drawn on a selected row: in the selection's text colour.
    static BadgeAppearance onSelection(BadgeAppearance appearance, const QColor& selectedText);
    // How far the row spinners have turned, in degrees; moves only while one is drawn.
    int spinPhase() const { return m_spinPhase; }
    bool isSpinning() const { return m_spinTimer.isActive(); }
    // Whether the badge line shows: a non-empty source list without `other`.
    static bool showsBadgeLine(const QList<Application::Source>& source);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The indicators' help; over a name or version cut with "…", its whole text.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    // Returns the height of the badge line; without a painter, only measures it.
    static int paintBadges(QPainter* painter, const QRect& rect, const Application::Snapshot& application,
                           const QPalette& palette, bool selected);

    mutable QTimer m_spinTimer;
    mutable QPointer<QWidget> m_spinView;
    mutable bool m_spunSinceTick = false;
    int m_spinPhase = 0;
};

} // namespace norvelle
