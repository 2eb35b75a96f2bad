#include "tst_sidebarworld.h"

#include "FakeUrlOpener.h"
#include "ui/detail/ApplicationMetadataItemView.h"
#include "ui/detail/ApplicationMetadataRowView.h"
#include "ui/detail/MetadataFormat.h"
#include "ui/main/components/ClampedLabel.h"

#include <QFrame>
#include <QLabel>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using S = Application::Source;
using Row = ApplicationMetadataRowView;

namespace {

const QDateTime kNow(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);

// "Title=value/subtitle>link" per cell, "|" between cells; "~" marks an absent subtitle.
QString describe(const QList<Row::Cell>& cells)
{
    QStringList parts;
    for (const Row::Cell& cell : cells) {
        QString text = cell.title + QLatin1Char('=') + cell.value + QLatin1Char('/') + cell.subtitle.value_or("~");
        if (cell.link)
            text += QLatin1Char('>') + cell.link->toString();
        parts.append(text);
    }
    return parts.join(QLatin1Char('|'));
}

Cask cask(bool adopted, std::optional<QString> homepage = std::nullopt)
{
    Cask c = makeCask(QStringLiteral("figma"));
    c.adopted = adopted;
    if (homepage)
        c.homepage = QUrl(*homepage);
    return c;
}

MAS mas(const QString& id, std::optional<qint64> size = std::nullopt)
{
    MAS m;
    m.appID = id;
    m.fileSizeBytes = size;
    return m;
}

} // namespace

class TestDetailMetadata : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cells_data()
    {
        QTest::addColumn<ApplicationPtr>("app");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("expected");

        const QString brewPage = QStringLiteral(">https://formulae.brew.sh/cask/figma#default");
        QTest::newRow("other, nothing known") << makeApp("Notes", std::nullopt, {S::other}) << false << "";
        QTest::newRow("other, checked") << makeApp("Notes", std::nullopt, {S::other}) << true
                                        << "Checked=5 min. ago/Update Status";
        QTest::newRow("not checked, sparkle") << makeApp("Sky", std::nullopt, {S::sparkle}) << false
                                              << "Source=Sparkle/Framework|Checked=Unknown/Not checked yet";
        auto unread = makeApp("Sky", makeUpdate("2.0", Update::Source::sparkle), {S::sparkle});
        unread->setCheckFailure(SourceFailure{SourceFailure::updateFeed(), QStringLiteral("offline")});
        QTest::newRow("sparkle, its feed not read")
            << unread << true << "Source=Sparkle/Framework|Checked=5 min. ago/Check failed";

        auto notAdopted = makeApp("Figma");
        notAdopted->setCask(cask(false));
        QTest::newRow("brew, cask not adopted") << notAdopted << true
                                                << "Checked=5 min. ago/Update Status|Homepage=Unavailable/Not provided";

        auto adopted = makeApp("Figma", makeUpdate("2.0", Update::Source::sparkle), {S::homebrew, S::sparkle});
        adopted->setCask(cask(true, QStringLiteral("https://www.figma.com/desktop")));
        QTest::newRow("adopted brew with sparkle update")
            << adopted << true
            << "Source=Sparkle/Framework|Checked=5 min. ago/Update Status"
               "|Homepage=www.figma.com/View in Browser>https://www.figma.com/desktop";

        auto adoptedBrew = makeApp("Figma");
        adoptedBrew->setCask(cask(true, QStringLiteral("file:///opt/page")));
        QTest::newRow("brew source, homepage without host")
            << adoptedBrew << false
            << "Source=Homebrew/figma" + brewPage
                   + "|Checked=Unknown/Not checked yet|Homepage=Website/View in Browser>file:///opt/page";

        auto brewUpdateNoCask = makeApp("Zed", makeUpdate("2.0"));
        QTest::newRow("brew update, no cask")
            << brewUpdateNoCask << false << "Checked=Unknown/Not checked yet|Homepage=Unavailable/Not provided";

        auto otherUpdate = makeApp("Store", makeUpdate("2.0", Update::Source::other), {S::appStore});
        QTest::newRow("update from other") << otherUpdate << false
                                           << "Source=Unknown/|Checked=Unknown/Not checked yet|Size=Unknown/Not provided";

        Update storeUpdate = makeUpdate("2.0", Update::Source::appStore);
        storeUpdate.mas = mas(QStringLiteral("409183694"), 1234567);
        storeUpdate.releaseDate = kNow.addDays(-2);
        auto store = makeApp("Keynote", storeUpdate, {S::homebrew, S::appStore});
        QTest::newRow("app store id only on the update")
            << store << false
            << "Source=App Store/ID: 409183694>https://apps.apple.com/app/id409183694"
               "|Released=Mar 8, 2026/2 days ago|Checked=Unknown/Not checked yet|Size=1.2/MB";

        auto storeNoUpdate = makeApp("Keynote", std::nullopt, {S::homebrew, S::appStore});
        storeNoUpdate->setMas(mas(QStringLiteral("1")));
        QTest::newRow("app store without update: no size")
            << storeNoUpdate << true
            << "Source=App Store/ID: 1>https://apps.apple.com/app/id1|Checked=5 min. ago/Update Status";

        Update zeroSize = makeUpdate("2.0", Update::Source::appStore);
        zeroSize.mas = mas(QStringLiteral("7"), 0);
        QTest::newRow("zero size") << makeApp("Pages", zeroSize, {S::appStore}) << false
                                   << "Source=App Store/ID: 7>https://apps.apple.com/app/id7"
                                      "|Checked=Unknown/Not checked yet|Size=Zero/KB";

        QTest::newRow("app store, no id anywhere")
            << makeApp("Numbers", std::nullopt, {S::appStore}) << false
            << "Source=App Store/|Checked=Unknown/Not checked yet";
    }
    void cells()
    {
        QFETCH(ApplicationPtr, app);
        QFETCH(bool, checked);
        QFETCH(QString, expected);
        const auto lastCheck = checked ? std::optional(kNow.addSecs(-300)) : std::nullopt;
        QCOMPARE(describe(Row::cells(app->snapshot(), lastCheck, kNow)), expected);
    }

    void formats_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "Zero KB";
        QTest::newRow("one byte") << qint64(1) << "1 byte";
        QTest::newRow("bytes") << qint64(999) << "999 bytes";
        QTest::newRow("kilobytes") << qint64(12345) << "12 KB";
        QTest::newRow("megabytes") << qint64(3400000) << "3.4 MB";
        QTest::newRow("whole megabytes") << qint64(5000000) << "5 MB";
        QTest::newRow("gigabytes") << qint64(1250000000) << "1.25 GB";
    }
    void formats()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(MetadataFormat::byteCount(bytes), text);
    }

    void relativeTimes()
    {
        QCOMPARE(MetadataFormat::relativeShort(kNow.addSecs(-30), kNow), QStringLiteral("30 sec. ago"));
        QCOMPARE(MetadataFormat::relativeShort(kNow.addSecs(-7200), kNow), QStringLiteral("2 hr. ago"));
        QCOMPARE(MetadataFormat::relativeShort(kNow.addDays(-1), kNow), QStringLiteral("1 day ago"));
        QCOMPARE(MetadataFormat::relativeShort(kNow.addDays(14), kNow), QStringLiteral("in 2 wk."));
    }

    // The widget: cells with dividers between them, links through the opener, absence.
    void rowWidget()
    {
        FakeUrlOpener urls;
        auto app = makeApp("Figma");
        Cask c = cask(true, QStringLiteral("https://www.figma.com/"));
        app->setCask(c);
        Row row(app, kNow, &urls);
        const auto items = row.findChildren<ApplicationMetadataItemView*>();
        QCOMPARE(items.size(), 3);
        QCOMPARE(row.findChildren<QFrame*>("metadataDivider").size(), 2);
        QCOMPARE(items[0]->findChild<QLabel*>("metadataTitle")->text(), QStringLiteral("SOURCE"));
        QVERIFY(items[0]->isLink());
        QVERIFY(!items[1]->isLink());
        QTest::mouseClick(items[2], Qt::LeftButton);
        QTest::mouseClick(items[1], Qt::LeftButton);
        items[0]->activate();
        QCOMPARE(urls.opened(), (QList<QUrl>{QUrl(QStringLiteral("https://www.figma.com/")),
                                             QUrl(QStringLiteral("https://formulae.brew.sh/cask/figma#default"))}));

        // A check that could not read a source says so, and why.
        QVERIFY(!row.findChild<ClampedLabel*>("checkFailureText"));
        app->setCheckFailure(SourceFailure{SourceFailure::updateFeed(), QStringLiteral("Could not resolve host")});
        QTRY_VERIFY(row.findChild<ClampedLabel*>("checkFailureText"));
        QCOMPARE(row.findChild<ClampedLabel*>("checkFailureText")->fullText(),
                 QStringLiteral("The last check failed: Could not resolve host"));

        // Without the catalogue nothing is known of the homepage, not even that there is none.
        c.homepage.reset();
        app->setCask(c);
        row.setSourceFailures({{SourceFailure::homebrewCatalogue(), QStringLiteral("timed out")}});
        QTRY_COMPARE(row.findChildren<ApplicationMetadataItemView*>().size(), 3);
        const ApplicationMetadataItemView* homepage = row.findChildren<ApplicationMetadataItemView*>().last();
        QCOMPARE(homepage->value(), QStringLiteral("Unavailable"));
        QCOMPARE(homepage->subtitleLabel()->text(), QString());

        // Losing the facts hides the whole row, divider included.
        app->setSource({S::other});
        row.setLastUpdateCheck(std::nullopt);
        QTRY_VERIFY(row.isHidden());
    }
};

QTEST_MAIN(TestDetailMetadata)
#include "tst_detailmetadata.moc"
