#include "ui/main/ApplicationSearchView.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace norvelle {

ApplicationSearchView::ApplicationSearchView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("applicationSearchView"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(12, 0, 12, 8);

    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("searchBox"));
    box->setAttribute(Qt::WA_StyledBackground);
    box->setStyleSheet(QStringLiteral("#searchBox { background: palette(base); border-radius: 6px; }"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(8, 8, 8, 8);

    auto* magnifier = new QLabel(box);
    magnifier->setObjectName(QStringLiteral("searchIcon"));
    magnifier->setPixmap(SymbolIcons::pixmap(QStringLiteral("magnifyingglass"), 14, SystemColors::secondary(),
                                             devicePixelRatioF()));
    row->addWidget(magnifier);

    m_field = new QLineEdit(box);
    m_field->setObjectName(QStringLiteral("searchField"));
    m_field->setPlaceholderText(QStringLiteral("Search"));
    m_field->setFrame(false);
    m_field->setClearButtonEnabled(false);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    row->addWidget(m_field, 1);
    outer->addWidget(box);

    connect(m_field, &QLineEdit::textChanged, this, &ApplicationSearchView::searchTextChanged);
}

QString ApplicationSearchView::searchText() const
{
    return m_field->text();
}

void ApplicationSearchView::setSearchText(const QString& text)
{
    m_field->setText(text);
}

} // namespace norvelle
