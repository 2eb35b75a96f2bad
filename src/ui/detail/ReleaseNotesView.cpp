#include "ui/detail/ReleaseNotesView.h"

#include "ui/detail/ReleaseNotesMarkdownView.h"
#include "util/Async.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QStyle>
#include <QVBoxLayout>

namespace norvelle {

namespace {

constexpr qreal bodyPoints = 13;

QFont scaledFont(QFont font, qreal points, QFont::Weight weight)
{
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * points / bodyPoints);
    font.setWeight(weight);
    return font;
}

QLabel* plainLabel(const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

ReleaseNotesView::ReleaseNotesView(std::shared_ptr<Application> application, QWidget* parent)
    : QWidget(parent)
    , m_application(std::move(application))
{
    setObjectName(QStringLiteral("releaseNotesView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 12, 0, 0);
    m_title = plainLabel(QStringLiteral("releaseNotesTitle"), this);
    m_title->setFont(scaledFont(font(), 20, QFont::Medium));
    titleRow->addWidget(m_title, 0, Qt::AlignVCenter);
    titleRow->addStretch();
    layout->addLayout(titleRow);

    m_notes = new ReleaseNotesMarkdownView({}, this);
    m_notes->setObjectName(QStringLiteral("releaseNotesMarkdown"));
    layout->addWidget(m_notes);
    m_placeholder = makePlaceholder();
    layout->addWidget(m_placeholder);
    layout->addStretch(); // spare height goes below the section, never between its rows

    redraw();

    // The observer runs on whichever thread changed the application; the widgets are
    // touched only on the main thread, and only while this view still exists.
    QPointer<ReleaseNotesView> self(this);
    m_observer = m_application->addObserver([self](Application::Field field) {
        if (field != Application::Field::update)
            return;
        postToMain([self] {
            if (self)
                self->redraw();
        });
    });
}

ReleaseNotesView::~ReleaseNotesView() = default;

QWidget* ReleaseNotesView::makePlaceholder()
{
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("releaseNotesPlaceholder"));
    placeholder->setMinimumHeight(200);
    placeholder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(placeholder);
    column->setSpacing(6);
    column->addStretch();

    auto* icon = plainLabel(QStringLiteral("releaseNotesPlaceholderIcon"), placeholder);
    const int iconSize = 40;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(iconSize, iconSize));
    auto* title = plainLabel(QStringLiteral("releaseNotesPlaceholderTitle"), placeholder);
    title->setText(tr("Release Notes Unavailable"));
    title->setFont(scaledFont(font(), 17, QFont::Bold));
    auto* description = plainLabel(QStringLiteral("releaseNotesPlaceholderDescription"), placeholder);
    description->setText(tr("Unable to grab release notes for this update"));
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignHCenter);
    QPalette secondary = description->palette();
    QColor text = secondary.color(QPalette::WindowText);
    text.setAlphaF(0.55f);
    secondary.setColor(QPalette::WindowText, text);
    description->setPalette(secondary);

    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(description); // full width, so the wrapped text is never cut
    column->addStretch();
    return placeholder;
}

void ReleaseNotesView::redraw()
{
    const std::optional<Update> update = m_application->update();
    m_title->setText(update ? tr("What's New") : tr("Release Notes"));

    const std::optional<QString> notes = update ? update->releaseNotes : std::nullopt;
    const bool hasNotes = notes && !notes->isEmpty();
    if (hasNotes)
        m_notes->setMarkdown(*notes);
    else
        m_notes->setMarkdown({});
    m_notes->setVisible(hasNotes);
    m_placeholder->setVisible(!hasNotes);
}

} // namespace norvelle
