#include "ui/main/components/ActionFailureAlert.h"

#include "ui/main/components/CopyFlag.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/RoundedPanel.h"
#include "ui/main/components/TextStyles.h"
#include "ui/platform/SystemClipboard.h"

#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <QtMath>
#include <memory>

namespace norvelle {

ActionFailureAlert::Content ActionFailureAlert::terminalFailure(const QString& commandLine,
                                                                const QString& reason)
{
    QString message = reason.trimmed();
    if (message.isEmpty())
        message = QStringLiteral("The terminal did not take the command.");
    message += QStringLiteral("\n\nCopy the command and run it in a terminal window yourself.");
    return {QStringLiteral("Terminal Could Not Be Opened"), message, commandLine,
            QStringLiteral("Copy Command")};
}

ActionFailureAlert::Content ActionFailureAlert::linkFailure(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return {QStringLiteral("Mail Could Not Be Opened"),
                QStringLiteral("No mail application opened this address. Copy it and write from your mail "
                               "application."),
                url.path(), QStringLiteral("Copy Address")};
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    return {QStringLiteral("Link Could Not Be Opened"),
            web ? QStringLiteral("No web browser opened this address. Copy it and open it in your browser.")
                : QStringLiteral("No application opened this address. Copy it and open it yourself."),
            url.toString(QUrl::FullyEncoded), QStringLiteral("Copy Address")};
}

ActionFailureAlert::Content ActionFailureAlert::permissionSettingsFailure()
{
#if defined(Q_OS_MACOS)
    return {
        QStringLiteral("System Settings Could Not Be Opened"),
        QStringLiteral("Open System Settings yourself, choose Privacy & Security, then App Management, and "
                       "add Norvelle to the list."),
        {},
        {}};
#else
    return {QStringLiteral("No Settings Page for App Management"),
            QStringLiteral("This system has no settings page for the App Management permission, and Norvelle "
                           "needs no such permission here. The App Management switch only tells Norvelle "
                           "whether it may update applications and adopt them into Homebrew: turn it on to "
                           "allow that."),
            {},
            {}};
#endif
}

QDialog* ActionFailureAlert::open(QWidget* parent, const Content& content, Clipboard* clipboard)
{
    constexpr int textWidth = 400;
    constexpr int iconSize = 40;
    auto* box = new QDialog(parent);
    box->setObjectName(QStringLiteral("actionFailureAlert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(content.title);

    auto* root = new QVBoxLayout(box);
    root->setContentsMargins(20, 20, 20, 16);
    root->setSpacing(14);
    // The alert is as tall as its wrapped texts need at its fixed text width, never taller.
    root->setSizeConstraint(QLayout::SetFixedSize);
    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    auto* icon = new QLabel(box);
    icon->setObjectName(QStringLiteral("actionFailureIcon"));
    icon->setPixmap(box->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    // Colours stay the palette's own (no fixed ink), so the alert reads in either theme.
    QLabel* title =
        makePlainLabel(content.title, TextStyles::font(TextStyles::Style::headline, QFont::DemiBold),
                       QColor(), box, "actionFailureTitle");
    title->setWordWrap(true);
    title->setFixedWidth(textWidth);
    texts->addWidget(title);
    QLabel* message = makePlainLabel(content.message, TextStyles::font(TextStyles::Style::body), QColor(),
                                     box, "actionFailureMessage");
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setFixedWidth(textWidth);
    texts->addWidget(message);
    texts->addStretch(1);
    top->addLayout(texts, 1);
    root->addLayout(top);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (!content.copyText.isEmpty()) {
        // The command box of the detail pane's look: white monospaced text on near-black, in Light
        // as in Dark; selectable, wrapped at the box's fixed width so its height is known at once.
        constexpr int inset = 12;
        const int fieldWidth = iconSize + 14 + textWidth;
        auto* field = new RoundedPanel(QColor(0, 0, 0, 204), 6, box);
        field->setObjectName(QStringLiteral("actionFailureField"));
        field->setFixedWidth(fieldWidth);
        auto* fieldLayout = new QVBoxLayout(field);
        fieldLayout->setContentsMargins(inset, 8, inset, 8);
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(TextStyles::font(TextStyles::Style::subheadline).pointSizeF());
        // A text view rather than a label: an address has no spaces to wrap at, and must still show
        // whole. Outside text, so plain text only.
        auto* text = new QTextEdit(field);
        text->setObjectName(QStringLiteral("actionFailureText"));
        text->setReadOnly(true);
        text->setAcceptRichText(false);
        text->setPlainText(content.copyText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        text->setFrameShape(QFrame::NoFrame);
        text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        text->setFont(mono);
        text->viewport()->setAutoFillBackground(false);
        QPalette ink = text->palette();
        ink.setColor(QPalette::Text, Qt::white);
        ink.setColor(QPalette::Base, Qt::transparent);
        text->setPalette(ink);
        // Wrapped at a fixed width, measured once on a document of the same font and wrapping.
        const int textWidthInBox = fieldWidth - 2 * inset;
        text->document()->setDocumentMargin(0);
        text->setLineWrapMode(QTextEdit::FixedPixelWidth);
        text->setLineWrapColumnOrWidth(textWidthInBox);
        QTextDocument measure;
        measure.setDefaultFont(mono);
        measure.setDocumentMargin(0);
        QTextOption wrapping;
        wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        measure.setDefaultTextOption(wrapping);
        measure.setPlainText(content.copyText);
        measure.setTextWidth(textWidthInBox);
        text->setFixedSize(textWidthInBox, qCeil(measure.size().height()));
        fieldLayout->addWidget(text);
        root->addWidget(field);

        auto* copy = new QPushButton(content.copyButton, box);
        copy->setObjectName(QStringLiteral("actionFailureCopy"));
        copy->setAutoDefault(false);
        auto* copied = new CopyFlag(copy);
        std::shared_ptr<Clipboard> own;
        if (!clipboard)
            own = std::make_shared<SystemClipboard>();
        QObject::connect(copy, &QPushButton::clicked, copied,
                         [clipboard, own, copied, text = content.copyText] {
                             (clipboard ? clipboard : own.get())->copyText(text);
                             copied->confirmCopy();
                         });
        QObject::connect(copied, &CopyFlag::valueChanged, copy,
                         [copy, label = content.copyButton](bool value) {
                             copy->setText(value ? QStringLiteral("Copied!") : label);
                         });
        buttons->addWidget(copy);
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), box);
    ok->setObjectName(QStringLiteral("actionFailureOk"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, box, &QDialog::accept);
    buttons->addWidget(ok);
    root->addLayout(buttons);

    box->open();
    return box;
}

} // namespace norvelle
