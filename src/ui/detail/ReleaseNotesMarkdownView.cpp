#include "ui/detail/ReleaseNotesMarkdownView.h"

#include "ui/detail/ReleaseNotesMarkdown.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

namespace norvelle {

namespace {

using Markdown = ReleaseNotesMarkdown;

constexpr qreal rowSpacing = 4;
constexpr qreal spacerHeight = 2;
constexpr qreal bulletGap = 8;
constexpr qreal bodyPoints = 13; // the body text size the other sizes are measured against

// A text edit that asks for the height of its whole document, so the notes show in
// full wherever the layout has room and scroll only when it has not.
class NotesTextEdit : public QTextEdit {
public:
    using QTextEdit::QTextEdit;

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override
    {
        const std::unique_ptr<QTextDocument> copy(document()->clone());
        copy->setTextWidth(qMax(1, width - 2 * frameWidth()));
        return qCeil(copy->size().height()) + 2 * frameWidth();
    }

    QSize sizeHint() const override { return {QTextEdit::sizeHint().width(), heightForWidth(width())}; }
    QSize minimumSizeHint() const override { return {0, heightForWidth(width())}; }
};

QColor secondaryColor(const QPalette& palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    return QColor::fromRgbF((text.redF() + window.redF()) / 2, (text.greenF() + window.greenF()) / 2,
                            (text.blueF() + window.blueF()) / 2);
}

QFont scaled(QFont font, qreal points, QFont::Weight weight)
{
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * points / bodyPoints);
    font.setWeight(weight);
    return font;
}

QFont headerFont(const QFont& body, int level)
{
    switch (level) {
    case 1: return scaled(body, 24, QFont::Bold);
    case 2: return scaled(body, 20, QFont::Bold);
    case 3: return scaled(body, 18, QFont::DemiBold);
    case 4: return scaled(body, 16, QFont::DemiBold);
    case 5: return scaled(body, 14, QFont::Medium);
    default: return scaled(body, 13, QFont::Medium);
    }
}

struct Style {
    QFont body;
    QFont code;
    QColor primary;
    QColor secondary;
};

QTextCharFormat charFormat(const QFont& font, const QColor& color)
{
    QTextCharFormat format;
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    format.setForeground(color);
    return format;
}

// Inserts the runs of one line: bold and italic take the line's font in that form,
// code keeps its own monospaced body font and colour.
void insertInline(QTextCursor& cursor, const QString& text, const QFont& lineFont, const Style& style)
{
    for (const Markdown::Run& run : Markdown::renderInline(text)) {
        QFont font = lineFont;
        QColor color = style.primary;
        switch (run.style) {
        case Markdown::RunStyle::plain: break;
        case Markdown::RunStyle::bold: font.setWeight(QFont::Bold); break;
        case Markdown::RunStyle::italic: font.setItalic(true); break;
        case Markdown::RunStyle::code:
            font = style.code;
            color = style.secondary;
            break;
        }
        cursor.insertText(run.text, charFormat(font, color));
    }
}

// Space a line wants above and below itself, on top of the spacing between rows.
qreal paddingAbove(const Markdown::Line& line)
{
    if (line.type != Markdown::LineType::header)
        return 0;
    return line.level <= 2 ? 12 : 8;
}

qreal paddingBelow(const Markdown::Line& line)
{
    return line.type == Markdown::LineType::header ? 4 : 0;
}

} // namespace

ReleaseNotesMarkdownView::ReleaseNotesMarkdownView(const QString& markdown, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_text = new NotesTextEdit(this);
    m_text->setObjectName(QStringLiteral("releaseNotesText"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->viewport()->setAutoFillBackground(false);
    m_text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_text->document()->setDocumentMargin(0);
    layout->addWidget(m_text);
    connect(m_text->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, m_text,
            [this] { m_text->updateGeometry(); });
    setMarkdown(markdown);
}

void ReleaseNotesMarkdownView::setMarkdown(const QString& markdown)
{
    m_markdown = markdown;
    render();
}

const QTextDocument* ReleaseNotesMarkdownView::document() const
{
    return m_text->document();
}

void ReleaseNotesMarkdownView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        render();
}

namespace {

// The platform's fixed font is only a request: fontconfig can resolve "monospace" to a face that
// Qt does not report as fixed pitch (Noto Sans Mono where it is installed), and code would then
// render proportionally. Fall back to the first family the font database knows as fixed.
QFont fixedPitchFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch())
        return font;
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        if (!QFontDatabase::isFixedPitch(family) || QFontDatabase::isPrivateFamily(family))
            continue;
        QFont candidate(family);
        if (QFontInfo(candidate).fixedPitch())
            return candidate;
    }
    return font;
}

} // namespace

void ReleaseNotesMarkdownView::render()
{
    Style style;
    style.body = font();
    style.code = fixedPitchFont();
    style.code.setPointSizeF(style.body.pointSizeF() > 0 ? style.body.pointSizeF() : 10.0);
    style.primary = palette().color(QPalette::WindowText);
    style.secondary = secondaryColor(palette());

    QTextDocument* document = m_text->document();
    document->clear();
    document->setDefaultFont(style.body);
    QTextCursor cursor(document);

    const QString bullet = QStringLiteral("\u2022");
    const qreal bulletIndent = QFontMetricsF(style.body).horizontalAdvance(bullet) + bulletGap;

    const QList<Markdown::Line> lines = Markdown::parse(m_markdown);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Markdown::Line& line = lines.at(i);
        QTextBlockFormat block;
        // Margins of neighbouring blocks collapse, so each block carries the whole gap above it.
        qreal above = paddingAbove(line);
        if (i > 0)
            above += rowSpacing + paddingBelow(lines.at(i - 1));
        block.setTopMargin(above);
        block.setBottomMargin(i + 1 == lines.size() ? paddingBelow(line) : 0);
        block.setProperty(QTextFormat::UserProperty, line.id);

        const QFont lineFont = line.type == Markdown::LineType::header ? headerFont(style.body, line.level)
                                                                       : style.body;
        const QTextCharFormat lineFormat = charFormat(lineFont, style.primary);
        if (line.type == Markdown::LineType::bullet) {
            // A hanging indent with a tab stop at the text's edge keeps wrapped lines under the text.
            block.setLeftMargin(bulletIndent);
            block.setTextIndent(-bulletIndent);
            block.setTabPositions({QTextOption::Tab(bulletIndent, QTextOption::LeftTab)});
        }
        if (line.type == Markdown::LineType::spacer)
            block.setLineHeight(spacerHeight, QTextBlockFormat::FixedHeight);

        if (i == 0) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(lineFormat);
        } else {
            cursor.insertBlock(block, lineFormat);
        }
        switch (line.type) {
        case Markdown::LineType::header:
        case Markdown::LineType::text: insertInline(cursor, line.text, lineFont, style); break;
        case Markdown::LineType::bullet:
            cursor.insertText(bullet, charFormat(style.body, style.secondary));
            cursor.insertText(QStringLiteral("\t"), lineFormat);
            insertInline(cursor, line.text, style.body, style);
            break;
        case Markdown::LineType::spacer: break;
        }
    }
    m_text->updateGeometry();
}

} // namespace norvelle
