#include "ui/main/DiscoveryProblemsView.h"

#include "ui/main/components/Banner.h"
#include "ui/main/components/ParagraphsLabel.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

DiscoveryProblemsView::DiscoveryProblemsView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("discoveryProblemsBanner"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(16, 0, 16, 8);
    auto* banner = new Banner(SystemColors::orange(), nullptr, this);
    banner->contentLayout()->setContentsMargins(12, 8, 12, 8);
    // The errors' own words, which may be long and hold addresses: wrapped, never elided, and
    // selectable so that they can be copied whole, or one line at a time.
    m_text = new ParagraphsLabel(banner);
    setUpPlainLabel(m_text, TextStyles::font(TextStyles::Style::subheadline), SystemColors::primary(),
                    "discoveryProblemsText");
    m_text->setWordWrap(true);

    banner->contentLayout()->addWidget(m_text);
    outer->addWidget(banner);
    hide();
}

void DiscoveryProblemsView::setProblems(const QStringList& problems)
{
    m_text->setText(problems.join(QLatin1Char('\n')));
    setVisible(!problems.isEmpty());
}

QString DiscoveryProblemsView::text() const
{
    return isHidden() ? QString() : m_text->text();
}

} // namespace norvelle
