#include "ui/detail/ReleaseNotesMarkdownView.h"
#include "ui/detail/ReleaseNotesView.h"

#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

#include <optional>
#include <thread>

using namespace norvelle;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

std::shared_ptr<Application> makeApplication(std::optional<Update> update)
{
    return Application::create(QStringLiteral("Example"), QStringLiteral("com.example.app"),
                               QUrl::fromLocalFile(QStringLiteral("/Applications/Example.app")),
                               QStringLiteral("1.0"), QList<Application::Source>{Application::Source::sparkle},
                               std::move(update));
}

Update updateWithNotes(std::optional<QString> notes)
{
    Update update;
    update.latestVersion = QStringLiteral("2.0");
    update.source = Update::Source::sparkle;
    update.releaseNotes = std::move(notes);
    return update;
}

// The character format of the first fragment whose text is exactly `text`.
std::optional<QTextCharFormat> fragmentFormat(const QTextDocument* document, const QString& text)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().text() == text)
                return it.fragment().charFormat();
    return std::nullopt;
}

// Pictures for a look land next to the test executable, whatever the working folder.
QString inBuildFolder(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

QString titleOf(const ReleaseNotesView& view)
{
    return view.findChild<QLabel*>(QStringLiteral("releaseNotesTitle"))->text();
}

bool showsPlaceholder(const ReleaseNotesView& view)
{
    const bool placeholder = !view.findChild<QWidget*>(QStringLiteral("releaseNotesPlaceholder"))->isHidden();
    const bool notes = !view.findChild<QWidget*>(QStringLiteral("releaseNotesMarkdown"))->isHidden();
    return placeholder && !notes;
}

} // namespace

class TestReleaseNotesView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void placeholderOrNotes_data()
    {
        QTest::addColumn<bool>("hasUpdate");
        QTest::addColumn<std::optional<QString>>("notes");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("placeholder");

        QTest::newRow("no update") << false << std::optional<QString>() << "Release Notes" << true;
        QTest::newRow("notes absent") << true << std::optional<QString>() << "What's New" << true;
        QTest::newRow("notes empty") << true << std::optional<QString>(QString()) << "What's New" << true;
        QTest::newRow("notes of blanks") << true << std::optional<QString>(QStringLiteral(" \n\n ")) << "What's New"
                                         << false;
        QTest::newRow("notes") << true << std::optional<QString>(QStringLiteral("# Hi")) << "What's New" << false;
    }

    void placeholderOrNotes()
    {
        QFETCH(bool, hasUpdate);
        QFETCH(std::optional<QString>, notes);
        QFETCH(QString, title);
        QFETCH(bool, placeholder);

        const auto application = makeApplication(hasUpdate ? std::optional(updateWithNotes(notes)) : std::nullopt);
        ReleaseNotesView view(application);
        QCOMPARE(titleOf(view), title);
        QCOMPARE(showsPlaceholder(view), placeholder);
        const auto texts = view.findChildren<QLabel*>();
        for (const QLabel* label : texts)
            QCOMPARE(label->textFormat(), Qt::PlainText);
        if (placeholder) {
            QCOMPARE(view.findChild<QLabel*>(QStringLiteral("releaseNotesPlaceholderTitle"))->text(),
                     QStringLiteral("Release Notes Unavailable"));
            QCOMPARE(view.findChild<QLabel*>(QStringLiteral("releaseNotesPlaceholderDescription"))->text(),
                     QStringLiteral("Unable to grab release notes for this update"));
        }
    }

    void blankNotesShowOneSpacer()
    {
        ReleaseNotesView view(makeApplication(updateWithNotes(QStringLiteral("  \n\n\n"))));
        const auto* notes = view.findChild<ReleaseNotesMarkdownView*>(QStringLiteral("releaseNotesMarkdown"));
        QCOMPARE(notes->document()->blockCount(), 1);
        QCOMPARE(notes->document()->toPlainText(), QString());
    }

    void redrawsWhenTheUpdateChangesOnAnotherThread()
    {
        const auto application = makeApplication(std::nullopt);
        ReleaseNotesView view(application);
        QVERIFY(showsPlaceholder(view));

        std::thread([application] { application->setUpdate(updateWithNotes(QStringLiteral("Fixed **crash**"))); })
            .join();
        QTRY_COMPARE(titleOf(view), QStringLiteral("What's New"));
        QTRY_VERIFY(!showsPlaceholder(view));
        const auto* notes = view.findChild<ReleaseNotesMarkdownView*>(QStringLiteral("releaseNotesMarkdown"));
        QCOMPARE(notes->document()->toPlainText(), QStringLiteral("Fixed crash"));

        application->setUpdate(std::nullopt);
        QTRY_COMPARE(titleOf(view), QStringLiteral("Release Notes"));
        QVERIFY(showsPlaceholder(view));
    }

    void survivesChangesWhileBeingDestroyed()
    {
        const auto application = makeApplication(std::nullopt);
        auto view = std::make_unique<ReleaseNotesView>(application);
        std::thread writer([application] {
            for (int i = 0; i < 200; ++i)
                application->setUpdate(i % 2 ? std::optional(updateWithNotes(QString::number(i))) : std::nullopt);
        });
        view.reset();
        writer.join();
        QCoreApplication::processEvents(); // the queued redraws find the view gone
    }

    void runsAreStyledAndVerbatim()
    {
        ReleaseNotesMarkdownView view(
            QStringLiteral("## Use `brew` now\nPlain **bold** *it* <b>x</b> [a](b)\n- item"));
        const QTextDocument* document = view.document();
        QCOMPARE(document->blockCount(), 3);
        QCOMPARE(document->toPlainText(),
                 QString::fromUtf8("Use brew now\nPlain bold it <b>x</b> [a](b)\n\u2022\titem"));

        const auto body = fragmentFormat(document, QStringLiteral("Plain "));
        const auto header = fragmentFormat(document, QStringLiteral("Use "));
        const auto code = fragmentFormat(document, QStringLiteral("brew"));
        const auto bold = fragmentFormat(document, QStringLiteral("bold"));
        const auto italic = fragmentFormat(document, QStringLiteral("it"));
        const auto bullet = fragmentFormat(document, QString::fromUtf8("\u2022"));
        QVERIFY(body && header && code && bold && italic && bullet);

        QVERIFY(header->font().pointSizeF() > body->font().pointSizeF());
        QCOMPARE(header->font().weight(), QFont::Bold);
        // Code keeps the body size and a fixed-pitch family inside a header, in the secondary colour.
        QCOMPARE(code->font().pointSizeF(), body->font().pointSizeF());
        QVERIFY(QFontInfo(code->font()).fixedPitch());
        QVERIFY(code->foreground().color() != body->foreground().color());
        QCOMPARE(bullet->foreground().color(), code->foreground().color());
        QCOMPARE(bold->font().weight(), QFont::Bold);
        QVERIFY(italic->font().italic());
        QVERIFY(!body->font().italic() && body->font().weight() == QFont::Normal);
    }

    void wrappedBulletTextLinesUpWithItsFirstLine()
    {
        ReleaseNotesMarkdownView view(QStringLiteral("- ") + QStringLiteral("word ").repeated(60));
        view.resize(240, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QTextBlock block = view.document()->begin();
        const QTextLayout* layout = block.layout();
        QTRY_VERIFY(layout->lineCount() > 1);
        const qreal firstTextX = layout->lineAt(0).cursorToX(2); // after the bullet and the tab
        const QTextLine second = layout->lineAt(1);
        QVERIFY(firstTextX > 0);
        QCOMPARE(second.cursorToX(second.textStart()), firstTextX);
    }

    void renderToPng()
    {
        Update update = updateWithNotes(QString::fromUtf8(
            "# Version 2.0\n\nA **big** release with *many* fixes. Run `brew upgrade` afterwards.\n\n"
            "## Changes\n\u2022 New **sync** engine\n\u2022 A long item that wraps onto a second line so the "
            "hanging indent is visible in the picture\n- Dash item with `code`\n\n### Details\n#### Level four\n"
            "##### Level five\n###### Level six\nSee [site](https://example.com) for 1. more\n\n\n\nEnd"));
        QWidget window;
        window.resize(480, 720);
        auto* view = new ReleaseNotesView(makeApplication(update), &window);
        view->setGeometry(16, 0, 448, 720);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.grab().save(inBuildFolder(QStringLiteral("release-notes.png"))));

        ReleaseNotesView empty(makeApplication(updateWithNotes(std::nullopt)));
        empty.resize(448, 300);
        empty.show();
        QVERIFY(QTest::qWaitForWindowExposed(&empty));
        QVERIFY(empty.grab().save(inBuildFolder(QStringLiteral("release-notes-placeholder.png"))));
    }
};

QTEST_MAIN(TestReleaseNotesView)
#include "tst_releasenotesview.moc"
