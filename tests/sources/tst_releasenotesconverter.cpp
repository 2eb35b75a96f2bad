#include "sources/sparkle/ReleaseNotesConverter.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

using namespace norvelle;
using namespace Qt::StringLiterals;

namespace {

// The conversion written naively with one regular expression per substitution. Slow on large inputs, but an
// independent statement of the expected matches for the converter's single-pass scanners. Only valid for
// texts without "&" (it leaves references alone).
class ReferenceConversion {
public:
    ReferenceConversion()
    {
        // "." stops at every line break the notes may contain, not only at a line feed.
        const auto lineDot = u"[^\\n\\x0B\\f\\r\\x{85}\\x{2028}\\x{2029}]"_s;
        const auto ci = QRegularExpression::CaseInsensitiveOption;
        const auto add = [&](QString pattern, const QString& replacement,
                             QRegularExpression::PatternOptions options =
                                 QRegularExpression::CaseInsensitiveOption) {
            pattern.replace(u"(.*?)"_s, u"("_s + lineDot + u"*?)"_s);
            m_steps.append({QRegularExpression(pattern, options), replacement});
        };
        for (const char* tag : {"style", "script", "head"})
            add(u"<%1[^>]*>.*?</%1>"_s.arg(QLatin1StringView(tag)), QString(),
                ci | QRegularExpression::DotMatchesEverythingOption);
        for (int level = 1; level <= 6; ++level)
            add(u"<h%1[^>]*>(.*?)</h%1>"_s.arg(level), u"\n"_s + QString(level, u'#') + u" \\1\n"_s);
        add(u"<strong[^>]*>(.*?)</strong>"_s, u"**\\1**"_s);
        add(u"<b[^>]*>(.*?)</b>"_s, u"**\\1**"_s);
        add(u"<em[^>]*>(.*?)</em>"_s, u"*\\1*"_s);
        add(u"<i[^>]*>(.*?)</i>"_s, u"*\\1*"_s);
        add(u"<code[^>]*>(.*?)</code>"_s, u"`\\1`"_s);
        add(u"<a[^>]*href=[\"']([^\"']*)[\"'][^>]*>(.*?)</a>"_s, u"[\\2](\\1)"_s);
        add(u"<ul[^>]*>"_s, u"\n"_s);
        add(u"</ul>"_s, u"\n"_s);
        add(u"<ol[^>]*>"_s, u"\n"_s);
        add(u"</ol>"_s, u"\n"_s);
        add(u"<li[^>]*>"_s, u"\u2022 "_s);
        add(u"</li>"_s, u"\n"_s);
        add(u"</p>"_s, u"\n\n"_s);
        add(u"<p[^>]*>"_s, QString());
        add(u"<br[^>]*>"_s, u"\n"_s);
        for (const char* tag : {"div", "span", "html", "body"})
            add(u"</?%1[^>]*>"_s.arg(QLatin1StringView(tag)), QString());
        add(u"<[^>]+>"_s, QString(), {});
        add(u"\n\n\n+"_s, u"\n\n"_s, {});
        add(u" +"_s, u" "_s, {});
    }

    QString operator()(QString text) const
    {
        for (const auto& [pattern, replacement] : m_steps)
            text.replace(pattern, replacement);
        return text.trimmed();
    }

private:
    QList<std::pair<QRegularExpression, QString>> m_steps;
};

} // namespace

class TestReleaseNotesConverter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void convert_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("absent");
        QTest::addColumn<QString>("markdown");
        const auto row = [](const char* name, const QString& html, const QString& markdown) {
            QTest::newRow(name) << html << false << markdown;
        };
        const auto none = [](const char* name, const QString& html) {
            QTest::newRow(name) << html << true << QString();
        };
        none("empty", QString());
        none("white space only", u"  \n\t\n \u00A0 "_s);
        none("tags only", u"<p></p>"_s);
        none("whole page without text",
             u"<html><head><title>T</title></head><body><div></div></body></html>"_s);

        row("heading with attribute", u"<h1 class=\"title\">New</h1>"_s, u"# New"_s);
        row("heading levels", u"<h2>Two</h2><h6>Six</h6>"_s, u"## Two\n\n###### Six"_s);
        row("upper-case tags", u"<H3>Fixes</H3><P>Alpha</P><P>Beta</P>"_s, u"### Fixes\nAlpha\n\nBeta"_s);
        row("paragraphs", u"<p>Alpha</p><p>Beta</p>"_s, u"Alpha\n\nBeta"_s);
        row("unordered list", u"<ul><li>One</li><li>Two</li></ul>"_s, u"\u2022 One\n\u2022 Two"_s);
        row("ordered list", u"<ol type=\"1\">\n<li class=x>One</li>\n</ol>"_s, u"\u2022 One"_s);
        row("inline styles",
            u"<b>bold</b> <strong>strong</strong> <i>it</i> <em>em</em> <code class=\"c\">x()</code>"_s,
            u"**bold** **strong** *it* *em* `x()`"_s);
        row("nested inline", u"<h1><b>Big</b> news</h1>"_s, u"# **Big** news"_s);
        row("link double quotes", u"<a href=\"notes.html\">Notes</a>"_s, u"[Notes](notes.html)"_s);
        row("link single quotes", u"<a class=\"x\" HREF='notes.html' target=_blank>Notes</a>"_s,
            u"[Notes](notes.html)"_s);
        row("link text over a line break", u"<a href=\"notes.html\">No\ntes</a>"_s, u"No\ntes"_s);
        row("link takes the last href", u"<a href=\"x\" data-href='y'>T</a>"_s, u"[T](y)"_s);
        row("link falls back to earlier href", u"<a href=\"x\" href='y>T</a>"_s, u"[T](x)"_s);
        row("line break then stray bold close", u"Line<br>more</b> rest"_s, u"Line**more** rest"_s);
        row("image tag reads as italic", u"<img src=\"i.png\">caption</i>"_s, u"*caption*"_s);
        row("pre keeps its text", u"<pre>let x = 1</pre>"_s, u"let x = 1"_s);
        row("style and script blocks",
            u"<STYLE type=\"text/css\">\nbody {\n color: red;\n}\n</style><script>\nrun();\n</SCRIPT><p>Hi</p>"_s,
            u"Hi"_s);
        row("heading over a line break", u"<h2>Two\nlines</h2>"_s, u"Two\nlines"_s);
        row("heading over a line separator", u"<h2>Two\u2028lines</h2>"_s, u"Two\u2028lines"_s);
        row("escaped markup", u"&lt;b&gt;"_s, u"<b>"_s);
        row("unknown tags dropped", u"<section><blink>x</blink></section>"_s, u"x"_s);
        row("numeric references", u"&#65;&#x42;"_s, u"AB"_s);
        row("upper-case X unchanged", u"&#X41;"_s, u"&#X41;"_s);
        row("surrogate unchanged", u"&#xD800;"_s, u"&#xD800;"_s);
        row("beyond Unicode unchanged", u"&#1114112;"_s, u"&#1114112;"_s);
        row("twenty digits unchanged", u"&#12345678901234567890;"_s, u"&#12345678901234567890;"_s);
        row("huge hex unchanged", u"&#xFFFFFFFFFFFFFFFFFFFF;"_s, u"&#xFFFFFFFFFFFFFFFFFFFF;"_s);
        row("leading zeros", u"&#0065;"_s, u"A"_s);
        row("astral character", u"&#x1F600;"_s, u"\U0001F600"_s);
        row("escaped ampersand decoded once", u"&amp;lt;b&amp;gt;"_s, u"&lt;b&gt;"_s);
        row("escaped nbsp decoded once", u"&amp;nbsp;"_s, u"&nbsp;"_s);
        row("escaped numeric decoded once", u"&amp;#65;"_s, u"&#65;"_s);
        row("four line feeds", u"one\n\n\n\ntwo"_s, u"one\n\ntwo"_s);
        row("four spaces", u"a    b"_s, u"a b"_s);
        row("nbsp joins spaces", u"a &nbsp; b"_s, u"a b"_s);
        row("tabs and carriage returns kept", u"\t a\t\tb\r\nc \r"_s, u"a\t\tb\r\nc"_s);
    }
    void convert()
    {
        QFETCH(QString, html);
        QFETCH(bool, absent);
        QFETCH(QString, markdown);
        const std::optional<QString> result = ReleaseNotesConverter::convertHTMLToMarkdown(html);
        if (absent) {
            QVERIFY2(!result, qPrintable(result.value_or(QString())));
            return;
        }
        QVERIFY(result);
        QCOMPARE(*result, markdown);
    }

    void decode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("named") << u"&quot;&#39;&apos;&bull;&middot;&ndash;&mdash;"_s
                               << u"\"''\u2022\u00B7\u2013\u2014"_s;
        QTest::newRow("quotes") << u"&lsquo;a&rsquo; &ldquo;b&rdquo;"_s << u"\u2018a\u2019 \u201Cb\u201D"_s;
        QTest::newRow("nbsp is a plain space") << u"a&nbsp;b"_s << u"a b"_s;
        QTest::newRow("names are case-sensitive") << u"&AMP;&Lt;"_s << u"&AMP;&Lt;"_s;
        QTest::newRow("unknown and unterminated")
            << u"&copy; &amp &#65 & &#;"_s << u"&copy; &amp &#65 & &#;"_s;
        QTest::newRow("escaped ampersand") << u"&amp;amp;"_s << u"&amp;"_s;
        QTest::newRow("numeric ampersand") << u"&#38;lt;"_s << u"&lt;"_s;
        QTest::newRow("hex digits either case") << u"&#x4a;&#x4A;"_s << u"JJ"_s;
        QTest::newRow("last valid code point") << u"&#x10FFFF;"_s << u"\U0010FFFF"_s;
        QTest::newRow("around the surrogates") << u"&#55295;&#57344;&#xDFFF;"_s << u"\uD7FF\uE000&#xDFFF;"_s;
        QTest::newRow("invalid then valid") << u"&#x110000;&#66;"_s << u"&#x110000;B"_s;
        QTest::newRow("non-ASCII digits") << u"&#\u0665;"_s << u"&#\u0665;"_s;
    }
    void decode()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(ReleaseNotesConverter::decodeHTMLEntities(text), decoded);
    }

    // Random tag soup built from the fragments where the scanners' shortcuts could go wrong (unclosed
    // tags, stray ">", quotes, line breaks, several href=) must convert exactly as the plain expressions do.
    void matchesPlainExpressions_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("tag soup") << QStringList{
            u"<a"_s,     u"<A "_s,      u"</a>"_s,      u"href="_s,    u"HREF="_s,     u"\""_s,    u"'"_s,
            u">"_s,      u"<b"_s,       u"</b>"_s,      u"<br>"_s,     u"<h1"_s,       u"</H1>"_s, u"<i"_s,
            u"</i>"_s,   u"<style"_s,   u"</style>"_s,  u"<p>"_s,      u"</p>"_s,      u"<li>"_s,  u"</li>"_s,
            u"\n"_s,     u"\r"_s,       u"\u2028"_s,    u"x"_s,        u" "_s,         u"<"_s,     u"/"_s,
            u"<code>"_s, u"<STRONG "_s, u"</strong>"_s, u"<script>"_s, u"</SCRIPT>"_s, u"<ul>"_s};
        QTest::newRow("links") << QStringList{u"<a "_s,  u"href="_s, u"\""_s, u"'"_s, u">"_s,
                                              u"</a>"_s, u"\n"_s,    u"x"_s,  u" "_s};
    }
    void matchesPlainExpressions()
    {
        QFETCH(QStringList, pieces);
        const ReferenceConversion referenceConversion;
        QRandomGenerator random(20240611);
        for (int round = 0; round < 3000; ++round) {
            QString html;
            for (int n = random.bounded(1, 30); n > 0; --n)
                html += pieces.at(random.bounded(int(pieces.size())));
            const QString expected = referenceConversion(html);
            const QString actual = ReleaseNotesConverter::convertHTMLToMarkdown(html).value_or(QString());
            if (actual != expected)
                qWarning().noquote() << "input:" << html.toUtf8().toPercentEncoding(" <>/=\"'");
            QCOMPARE(actual, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestReleaseNotesConverter)
#include "tst_releasenotesconverter.moc"
