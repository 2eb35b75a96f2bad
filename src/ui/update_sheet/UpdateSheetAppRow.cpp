#include "ui/update_sheet/UpdateSheetAppRow.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/PasswordBadgeView.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/UpdateSheetParts.h"
#include "util/Async.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace norvelle {

UpdateSheetAppRow::UpdateSheetAppRow(Kind kind, std::shared_ptr<Application> application, QWidget* parent)
    : Card(Card::tint(SystemColors::primary(), true), std::nullopt, parent), m_kind(kind),
      m_application(std::move(application))
{
    setObjectName(QStringLiteral("appRow"));
    UpdateSheetParts::followCardTint(this);
    setProperty("applicationName", m_application->name());
    fill();
    // Setters may run on a worker; the row is redrawn on the main thread, if it still exists.
    QPointer<UpdateSheetAppRow> guard(this);
    m_observer = m_application->addObserver([guard](Application::Field field) {
        if (field != Application::Field::update && field != Application::Field::source &&
            field != Application::Field::currentVersion)
            return;
        postToMain([guard] {
            if (guard)
                guard->fill();
        });
    });
}

void UpdateSheetAppRow::fill()
{
    delete m_body;
    m_body = new QWidget(this);
    auto* row = new QHBoxLayout(m_body);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    const Application& app = *m_application;
    row->addWidget(UpdateSheetParts::icon(app, 48, 10, m_body));

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    auto* name = UpdateSheetParts::elidedLabel(app.name(),
                                               UpdateSheetParts::font(TextStyles::Style::body, QFont::Medium),
                                               UpdateSheetParts::Tone::primary, m_body);
    name->setObjectName(QStringLiteral("appName"));
    text->addWidget(name);
    if (m_kind == Kind::updated) {
        auto* version =
            UpdateSheetParts::elidedLabel(app.displayCurrentVersion(),
                                    UpdateSheetParts::font(TextStyles::Style::subheadline, QFont::Medium),
                                    SystemColors::green(), m_body);
        version->setObjectName(QStringLiteral("currentVersion"));
        text->addWidget(version);
    } else {
        const UpdateSheetParts::Ink latest = m_kind == Kind::passwordRequired
                                                 ? UpdateSheetParts::Ink(UpdateSheetParts::Tone::primary)
                                                 : UpdateSheetParts::Ink(SystemColors::green());
        text->addWidget(UpdateSheetParts::versionLine(app, latest, 6, m_body));
    }
    row->addLayout(text, 1);

    if (m_kind == Kind::updated) {
        auto* check = new QLabel(m_body);
        check->setObjectName(QStringLiteral("successMark"));
        const int size = QFontMetrics(UpdateSheetParts::font(TextStyles::Style::body)).height();
        check->setPixmap(SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), size, SystemColors::green(),
                                             devicePixelRatioF()));
        row->addWidget(check);
    } else {
        auto* trailing = new QHBoxLayout;
        trailing->setSpacing(8);
        if (QWidget* badge = UpdateSheetParts::sourceBadge(app, m_body))
            trailing->addWidget(badge);
        if (m_kind == Kind::passwordRequired)
            trailing->addWidget(new PasswordBadgeView(PasswordBadgeView::Style::sidebar, m_body));
        row->addLayout(trailing);
    }
    addWidget(m_body);
}

} // namespace norvelle
