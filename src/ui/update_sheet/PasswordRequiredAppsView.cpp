#include "ui/update_sheet/PasswordRequiredAppsView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/UpdateSheetAppRow.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

PasswordRequiredAppsView::PasswordRequiredAppsView(const QList<std::shared_ptr<Application>>& sudoRequiredApps,
                                                   QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("passwordRequiredApps"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    auto* divider = new QFrame(this);
    divider->setObjectName(QStringLiteral("divider"));
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    UpdateSheetParts::followPalette(divider, [divider] {
        QPalette palette = divider->palette();
        palette.setColor(QPalette::WindowText, SystemColors::withOpacity(SystemColors::secondary(), 0.4));
        divider->setPalette(palette);
    });
    column->addWidget(divider);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(UpdateSheetParts::sectionHeader(QStringLiteral("Unavailable"), sudoRequiredApps.size(),
                                                       QStringLiteral("unavailable"), this));
    auto* note = UpdateSheetParts::label(
        QStringLiteral(
            "These apps require your password to update. You can update them individually from the main app list."),
        UpdateSheetParts::font(TextStyles::Style::subheadline), UpdateSheetParts::Tone::secondary, this);
    note->setObjectName(QStringLiteral("passwordNote"));
    note->setWordWrap(true);
    heading->addWidget(note);
    column->addLayout(heading);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    for (const auto& app : sudoRequiredApps)
        rows->addWidget(new UpdateSheetAppRow(UpdateSheetAppRow::Kind::passwordRequired, app, this));
    column->addLayout(rows);
}

} // namespace norvelle
