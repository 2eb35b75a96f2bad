#include "ui/detail/BrewOutputView.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "ui/platform/SystemClipboard.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace norvelle {

BrewOutputView::BrewOutputView(const QStringList& output, Clipboard* clipboard, QWidget* parent)
    : QDialog(parent), m_output(output), m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("brewOutputView"));
    setWindowTitle(QStringLiteral("Brew Output"));
    if (!m_clipboard) {
        m_ownClipboard = std::make_unique<SystemClipboard>();
        m_clipboard = m_ownClipboard.get();
    }
    setFixedSize(700, 500);
    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(0);

    if (m_output.isEmpty()) {
        auto* empty = new QWidget(this);
        empty->setObjectName(QStringLiteral("noBrewOutput"));
        auto* column = new QVBoxLayout(empty);
        column->addStretch();
        auto* symbol = new QLabel(empty);
        symbol->setAlignment(Qt::AlignCenter);
        column->addWidget(symbol);
        auto* title = makePlainLabel(QStringLiteral("No Brew Output"),
                                     TextStyles::font(TextStyles::Style::title2, QFont::Bold), QColor(),
                                     empty, "noBrewOutputTitle", Qt::AlignCenter);
        auto* description = makePlainLabel(QStringLiteral("No brew output was captured for this update"),
                                           TextStyles::font(TextStyles::Style::body), QColor(), empty,
                                           "noBrewOutputDescription", Qt::AlignCenter);
        column->addWidget(title);
        column->addWidget(description);
        column->addStretch();
        outer->addWidget(empty, 1);
        PaletteFollower::follow(empty, [symbol, title, description, this] {
            symbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("text.rectangle"), 48,
                                                  SystemColors::secondary(), devicePixelRatioF()));
            setTextColor(title, SystemColors::primary());
            setTextColor(description, SystemColors::secondary());
        });
    } else {
        auto* scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("brewOutputScroll"));
        scroll->setWidgetResizable(true);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        auto* lines = new QWidget;
        auto* column = new QVBoxLayout(lines);
        column->setContentsMargins(0, 8, 0, 8);
        column->setSpacing(0);
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(TextStyles::font(TextStyles::Style::body).pointSizeF());
        // One row per line, by position: repeated lines all show.
        for (const QString& line : std::as_const(m_output)) {
            QLabel* row = makePlainLabel(line, mono, QColor(), lines, "brewOutputLine");
            row->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            row->setContentsMargins(16, 4, 16, 4);
            row->setWordWrap(true);
            column->addWidget(row);
        }
        column->addStretch();
        scroll->setWidget(lines);
        outer->addWidget(scroll, 1);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 8, 0, 0);
    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("brewOutputCopy"));
    copy->setAutoDefault(false);
    copy->setEnabled(!m_output.isEmpty());
    connect(copy, &QPushButton::clicked, this, [this] { m_clipboard->copyText(joinedOutput(m_output)); });
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("brewOutputDone"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(done);
    outer->addLayout(buttons);
}

BrewOutputView::~BrewOutputView() = default;

QString BrewOutputView::joinedOutput(const QStringList& output)
{
    return output.join(QLatin1Char('\n'));
}

} // namespace norvelle
