#include "ui/main/MissingSourcesHeaderView.h"

#include "ui/main/SidebarRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace norvelle {

MissingSourcesHeaderView::MissingSourcesHeaderView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("missingSourcesHeader"));
    setCursor(Qt::PointingHandCursor);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(16, 0, 16, 8);

    auto* card = new QWidget(this);
    card->setObjectName(QStringLiteral("missingSourcesCard"));
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(QStringLiteral("#missingSourcesCard { background: rgba(128,128,128,20);"
                                       " border: 1px solid rgba(128,128,128,77); border-radius: 8px; }"));
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);

    auto* missing = new QLabel(QStringLiteral("Missing:"), card);
    missing->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(missing);
    m_names = new QLabel(card);
    m_names->setObjectName(QStringLiteral("missingNames"));
    m_names->setTextFormat(Qt::PlainText);
    m_names->setStyleSheet(QStringLiteral("QLabel { color: #ff3b30; font-weight: 500; }"));
    row->addWidget(m_names);
    row->addStretch(1);
    auto* view = new QLabel(QStringLiteral("View"), card);
    view->setStyleSheet(QStringLiteral("QLabel { color: #007aff; }"));
    row->addWidget(view);
    outer->addWidget(card);
    hide();
}

void MissingSourcesHeaderView::setState(const EnvironmentStatus& environmentStatus, bool shouldHide)
{
    const QString names = sidebar::missingToolNames(environmentStatus);
    m_names->setText(names);
    setToolTip(names.isEmpty() ? QString() : QStringLiteral("Click to learn how to install %1").arg(names));
    setVisible(!shouldHide && !names.isEmpty());
}

QString MissingSourcesHeaderView::missingNames() const
{
    return m_names->text();
}

void MissingSourcesHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT showSheetClicked();
    QWidget::mouseReleaseEvent(event);
}

} // namespace norvelle
