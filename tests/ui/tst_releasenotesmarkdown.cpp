#include "ui/detail/ReleaseNotesMarkdown.h"

#include <QStringList>
#include <QTest>

using namespace norvelle;

namespace {

// "id:H2:text", "id:B:text", "id:T:text" or "id:S", joined by " | ".
QString describe(const QList<ReleaseNotesMarkdown::Line>& lines)
{
    QStringList out;
    for (const auto& line : lines) {
        const QString id = QString::number(line.id);
        switch (line.type) {
        case ReleaseNotesMarkdown::LineType::header:
            out << id + QStringLiteral(":H") + QString::number(line.level) + QLatin1Char(':') + line.text;
            break;
        case ReleaseNotesMarkdown::LineType::bullet: out << id + QStringLiteral(":B:") + line.text; break;
        case ReleaseNotesMarkdown::LineType::text: out << id + QStringLiteral(":T:") + line.text; break;
        case ReleaseNotesMarkdown::LineType::spacer: out << id + QStringLiteral(":S"); break;
        }
    }
    return out.join(QStringLiteral(" | "));
}

// P[plain] B[bold] I[italic] C[code], concatenated.
QString describe(const QList<ReleaseNotesMarkdown::Run>& runs)
{
    QString out;
    for (const auto& run : runs) {
        switch (run.style) {
        case ReleaseNotesMarkdown::RunStyle::plain: out += QLatin1Char('P'); break;
        case ReleaseNotesMarkdown::RunStyle::bold: out += QLatin1Char('B'); break;
        case ReleaseNotesMarkdown::RunStyle::italic: out += QLatin1Char('I'); break;
        case ReleaseNotesMarkdown::RunStyle::code: out += QLatin1Char('C'); break;
        }
        out += QLatin1Char('[') + run.text + QLatin1Char(']');
    }
    return out;
}

} // namespace

class TestReleaseNotesMarkdown : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("expected");

        QTest::newRow("header 1") << "# One" << "0:H1:One";
        QTest::newRow("header 2") << "## Two" << "0:H2:Two";
        QTest::newRow("header 3") << "### Three" << "0:H3:Three";
        QTest::newRow("header 4") << "#### Four" << "0:H4:Four";
        QTest::newRow("header 5") << "##### Five" << "0:H5:Five";
        QTest::newRow("header 6") << "###### Six" << "0:H6:Six";
        QTest::newRow("seven hashes are text") << "####### Seven" << "0:T:####### Seven";
        QTest::newRow("hash glued to a word is text") << "#Title" << "0:T:#Title";
        QTest::newRow("leading blanks trimmed before a header") << "  ## Word" << "0:H2:Word";
        QTest::newRow("text after a marker keeps its spaces") << "#  Two spaces" << "0:H1: Two spaces";
        QTest::newRow("tabs and no-break spaces trimmed") << QString::fromUtf8("\t\u00a0# Tab\t ")
                                                          << "0:H1:Tab";
        QTest::newRow("carriage return is not whitespace") << "line\r" << "0:T:line\r";
        QTest::newRow("bullet dot") << QString::fromUtf8("\u2022 Item") << "0:B:Item";
        QTest::newRow("bullet dash") << "- Item" << "0:B:Item";
        QTest::newRow("bullet star") << "* Item" << "0:B:Item";
        QTest::newRow("bullet keeps extra spaces") << "-   Item" << "0:B:  Item";
        QTest::newRow("dash glued to a word is text") << "-word" << "0:T:-word";
        QTest::newRow("numbered item is text") << "1. Word" << "0:T:1. Word";
        QTest::newRow("blank lines collapse, ids keep gaps") << "word\n\n\n\nother"
                                                             << "0:T:word | 1:S | 4:T:other";
        QTest::newRow("lone marker line dropped") << QString::fromUtf8("\u2022 \nword") << "1:T:word";
        QTest::newRow("lone dash and star dropped") << "-\n*\nword" << "2:T:word";
        QTest::newRow("dropped marker between blanks, one spacer") << "a\n\n-\n\nb" << "0:T:a | 1:S | 4:T:b";
        QTest::newRow("leading blank line gives a spacer") << "\nword" << "0:S | 1:T:word";
        QTest::newRow("only spaces and line feeds") << "   \n\n \t" << "0:S";
        QTest::newRow("empty text") << "" << "0:S";
        QTest::newRow("trailing line feed") << "word\n" << "0:T:word | 1:S";
        QTest::newRow("only the line feed splits") << "a\rb\u2028c" << QString::fromUtf8("0:T:a\rb\u2028c");
        QTest::newRow("marker with combining mark is not a marker")
            << QString::fromUtf8("#\u0301 x\n-\u0301") << QString::fromUtf8("0:T:#\u0301 x | 1:T:-\u0301");
        QTest::newRow("inline markers stay in the line text") << "## A **bold** `x`" << "0:H2:A **bold** `x`";
        QTest::newRow("mixed document")
            << QString::fromUtf8("# Title\n\nIntro\n\u2022 one\n\u2022 two\n\n### More")
            << "0:H1:Title | 1:S | 2:T:Intro | 3:B:one | 4:B:two | 5:S | 6:H3:More";
    }

    void parse()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, expected);
        QCOMPARE(describe(ReleaseNotesMarkdown::parse(markdown)), expected);
    }

    void renderInline_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << "just text" << "P[just text]";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("bold in the middle") << "a **b** c" << "P[a ]B[b]P[ c]";
        QTest::newRow("unclosed bold is literal") << "**word" << "P[*]P[*word]";
        QTest::newRow("lone star is literal") << "a * b" << "P[a ]P[* b]";
        QTest::newRow("italic between stars") << "2 * 3 * 4" << "P[2 ]I[ 3 ]P[ 4]";
        QTest::newRow("unclosed bold then italic") << "**a*b" << "P[*]I[a]P[b]";
        QTest::newRow("spans do not nest") << "**x *y* z**" << "B[x *y* z]";
        QTest::newRow("shortest span wins") << "**a** and **b**" << "B[a]P[ and ]B[b]";
        QTest::newRow("code") << "run `make` now" << "P[run ]C[make]P[ now]";
        QTest::newRow("code keeps markers verbatim") << "`**x**`" << "C[**x**]";
        QTest::newRow("italic keeps backticks verbatim") << "a*`b`*" << "P[a]I[`b`]";
        QTest::newRow("empty bold pair") << "****" << "B[]";
        QTest::newRow("empty code pair") << "``" << "C[]";
        QTest::newRow("unclosed backtick is literal") << "`open" << "P[`open]";
        QTest::newRow("link shown as written") << "[Site](https://example.com/a_b)"
                                               << "P[[Site](https://example.com/a_b)]";
        QTest::newRow("html and underscores mean nothing") << "<b>x</b> _y_" << "P[<b>x</b> _y_]";
        QTest::newRow("star with combining mark is no marker")
            << QString::fromUtf8("*\u0301a*") << QString::fromUtf8("P[*\u0301a]P[*]");
        QTest::newRow("emoji inside bold") << QString::fromUtf8("**\U0001F468\u200D\U0001F4BB**")
                                           << QString::fromUtf8("B[\U0001F468\u200D\U0001F4BB]");
    }

    void renderInline()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(describe(ReleaseNotesMarkdown::renderInline(text)), expected);
    }
};

QTEST_GUILESS_MAIN(TestReleaseNotesMarkdown)
#include "tst_releasenotesmarkdown.moc"
