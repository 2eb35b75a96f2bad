#include "FakeTool.h"
#include "RenderToPng.h"
#include "ui/SymbolIcons.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/Card.h"
#include "ui/main/components/PasswordBadgeView.h"
#include "ui/main/components/SourceBadgeView.h"
#include "ui/main/components/SystemColors.h"
#include "ui/platform/DesktopUrlOpener.h"
#include "ui/platform/SystemClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QVBoxLayout>
#include <csignal>

using namespace norvelle;
using namespace norvelle::test;

Q_DECLARE_METATYPE(norvelle::test::FakeTool::Response)

namespace {

// The colour of the most common opaque pixel in a rendered icon.
QColor dominantInk(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                ++counts[image.pixel(x, y)];
    QRgb best = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    return most ? QColor::fromRgba(best) : QColor();
}

} // namespace

class TestSharedComponents : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sourceBadges_data()
    {
        QTest::addColumn<Application::Source>("source");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QColor>("tint");
        QTest::newRow("homebrew") << Application::Source::homebrew << "Brew" << SystemColors::orange();
        QTest::newRow("sparkle") << Application::Source::sparkle << "Sparkle" << SystemColors::purple();
        QTest::newRow("appStore") << Application::Source::appStore << "App Store" << SystemColors::blue();
        QTest::newRow("other") << Application::Source::other << "Other" << SystemColors::gray();
    }

    void sourceBadges()
    {
        QFETCH(Application::Source, source);
        QFETCH(QString, label);
        QFETCH(QColor, tint);
        SourceBadgeView badge(source);
        const BadgeAppearance& look = badge.appearance();
        QCOMPARE(badge.text(), label);
        QCOMPARE(look.textColor, tint);
        QCOMPARE(look.fill, SystemColors::withOpacity(tint, 0.1));
        QCOMPARE(look.outline, SystemColors::withOpacity(tint, 0.3));
        QVERIFY(badge.toolTip().isEmpty());
        // The chip it shares with the sidebar's password badge.
        const BadgeAppearance chip = PasswordBadgeView::appearanceFor(PasswordBadgeView::Style::sidebar);
        QCOMPARE(look.padding, chip.padding);
        QCOMPARE(look.outerMargins, chip.outerMargins);
        QCOMPARE(look.outerMargins, QMargins(0, 2, 2, 0));
        QCOMPARE(look.cornerRadius, chip.cornerRadius);
        QCOMPARE(look.outlineWidth, chip.outlineWidth);
        QCOMPARE(look.textStyle, chip.textStyle);
    }

    void passwordBadges_data()
    {
        using S = PasswordBadgeView::Style;
        QTest::addColumn<S>("style");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("textColor");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<bool>("capsule");
        QTest::addColumn<bool>("outlined");
        QTest::addColumn<QString>("help");
        const QString update = QStringLiteral("Brew requires your password to run the update command");
        const QColor secondary = SystemColors::secondary();
        QTest::newRow("sidebar") << S::sidebar << "Password" << secondary
                                 << SystemColors::withOpacity(secondary, 0.1) << false << true << update;
        QTest::newRow("header") << S::header << "Password Required" << secondary
                                << SystemColors::withOpacity(secondary, 0.15) << true << false << update;
        QTest::newRow("caskBadge") << S::caskBadge << "Password Required" << SystemColors::orange()
                                   << SystemColors::withOpacity(SystemColors::orange(), 0.15) << true << false
                                   << QStringLiteral("Brew requires your password to run the adoption command");
    }

    void passwordBadges()
    {
        QFETCH(PasswordBadgeView::Style, style);
        QFETCH(QString, text);
        QFETCH(QColor, textColor);
        QFETCH(QColor, fill);
        QFETCH(bool, capsule);
        QFETCH(bool, outlined);
        QFETCH(QString, help);
        PasswordBadgeView badge(style);
        QCOMPARE(badge.text(), text);
        QCOMPARE(badge.appearance().textColor, textColor);
        QCOMPARE(badge.appearance().fill, fill);
        QCOMPARE(badge.appearance().capsule, capsule);
        QCOMPARE(badge.appearance().outline.isValid(), outlined);
        QCOMPARE(badge.toolTip(), help);
        QVERIFY(badge.sizeHint().width() > badge.appearance().padding.left() * 2);
    }

    void cardHeadingOnlyWithTitle_data()
    {
        QTest::addColumn<std::optional<QString>>("title");
        QTest::newRow("none") << std::optional<QString>();
        QTest::newRow("empty") << std::optional<QString>(QString());
        QTest::newRow("markup stays text") << std::optional<QString>(QStringLiteral("<b>Adopt</b>"));
    }

    void cardHeadingOnlyWithTitle()
    {
        QFETCH(std::optional<QString>, title);
        Card card(Card::tint(SystemColors::secondary(), false), title);
        QCOMPARE(card.titleLabel() != nullptr, title.has_value());
        if (title) {
            QCOMPARE(card.titleLabel()->text(), *title);
            QCOMPARE(card.titleLabel()->textFormat(), Qt::PlainText);
        }
    }

    void cardTint()
    {
        QVERIFY(qAbs(Card::tint(QColor(Qt::black), true).alphaF() - 0.037f) < 0.0005f);
        QCOMPARE(Card::tint(SystemColors::secondary(), false), SystemColors::withOpacity(SystemColors::secondary(), 0.1));
    }

    // Narrow content still gives a full-width card and banner; the content stays at the leading edge.
    void cardAndBannerFillWidth()
    {
        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        auto* card = new Card(Card::tint(SystemColors::secondary(), false), QStringLiteral("Title"));
        auto* first = new QLabel(QStringLiteral("a"));
        auto* second = new QLabel(QStringLiteral("b"));
        card->addWidget(first);
        card->addWidget(second);
        auto* bannerText = new QLabel(QStringLiteral("x"));
        auto* banner = new Banner(SystemColors::blue(), bannerText);
        layout->addWidget(card);
        layout->addWidget(banner);
        host.resize(600, 300);
        host.show();
        QTRY_VERIFY(host.isVisible());
        layout->activate();
        const int available = host.contentsRect().width() - layout->contentsMargins().left() -
                              layout->contentsMargins().right();
        QCOMPARE(card->width(), available);
        QCOMPARE(card->cardFrame()->width(), available);
        QCOMPARE(banner->width(), available);
        QCOMPARE(second->y() - (first->y() + first->height()), Card::contentSpacing);
        QCOMPARE(card->cardFrame()->y() - (card->titleLabel()->y() + card->titleLabel()->height()),
                 Card::spacing);
        QCOMPARE(first->x(), Card::padding);
        QCOMPARE(bannerText->x(), Banner::padding);
        QCOMPARE(banner->fillColor(), SystemColors::withOpacity(SystemColors::blue(), 0.1));
    }

    void symbolIconsRecolour()
    {
        QVERIFY(SymbolIcons::isKnown(QStringLiteral("arrow.up")));
        QVERIFY(!SymbolIcons::isKnown(QStringLiteral("no.such.symbol")));
        const QByteArray svg = SymbolIcons::svgData(QStringLiteral("arrow.up"), QColor(0x12, 0x34, 0x56));
        QVERIFY(svg.contains("#123456"));
        QVERIFY(!svg.contains("currentColor"));
        const QColor ink = dominantInk(SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), 64, Qt::red));
        QCOMPARE(ink, QColor(Qt::red));
        // Unknown names draw the neutral fallback rather than nothing.
        QVERIFY(!SymbolIcons::icon(QStringLiteral("no.such.symbol")).isNull());
        QVERIFY(dominantInk(SymbolIcons::pixmap(QStringLiteral("no.such.symbol"), 32, Qt::blue)).isValid());
    }

    // Every symbol in the table has its drawing in the resource.
    void everySymbolHasItsFile()
    {
        const QByteArray fallback = SymbolIcons::svgData(QStringLiteral("no.such.symbol"), Qt::black);
        for (const char* name : {"arrow.up", "arrow.clockwise", "arrow.up.circle", "shippingbox", "bag", "sparkles",
                                 "nosign", "list.bullet", "magnifyingglass", "doc.on.doc", "stethoscope",
                                 "gearshape", "hand.raised", "switch.2", "info.circle", "flask",
                                 "exclamationmark.triangle.fill", "xmark.circle.fill"}) {
            const QByteArray svg = SymbolIcons::svgData(QString::fromLatin1(name), Qt::black);
            QVERIFY2(svg.startsWith("<svg") && svg != fallback, name);
        }
    }

    // A copy leaves only the plain text, not an earlier copy's other formats.
    void clipboardHoldsOnlyTheText()
    {
        auto* rich = new QMimeData;
        rich->setHtml(QStringLiteral("<b>old</b>"));
        rich->setText(QStringLiteral("old"));
        QGuiApplication::clipboard()->setMimeData(rich);
        SystemClipboard().copyText(QStringLiteral("brew upgrade --cask 'a b'"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("brew upgrade --cask 'a b'"));
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    }

    // Links go through the system's opener program, whose exit status is the answer; one that
    // goes on running has handed the link to a browser in its place.
    void desktopOpenerAnswersWithTheExitStatus_data()
    {
        QTest::addColumn<FakeTool::Response>("run");
        QTest::addColumn<bool>("opened");
        QTest::newRow("opened") << FakeTool::Response() << true;
        QTest::newRow("no browser") << FakeTool::Response().withExitCode(3) << false;
        QTest::newRow("crashed") << FakeTool::Response().withCrash(SIGSEGV) << false;
        QTest::newRow("still running") << FakeTool::Response().withHang() << true;
    }
    void desktopOpenerAnswersWithTheExitStatus()
    {
        QFETCH(FakeTool::Response, run);
        QFETCH(bool, opened);
        FakeTool tool;
        QVERIFY(tool.installAs(QStringLiteral("xdg-open")));
        const QUrl url(QStringLiteral("https://example.com/a b?q=1"));
        tool.respond(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)}, run);
        DesktopUrlOpener opener(tool.path(QStringLiteral("xdg-open")), std::chrono::milliseconds(300));
        QObject context;
        QList<bool> answers;
        opener.openLink(url, &context, [&answers](bool answer) { answers.append(answer); });
        QTRY_COMPARE(answers, QList<bool>{opened});
        QCOMPARE(tool.calls(QStringLiteral("xdg-open")).size(), 1);
        QVERIFY(tool.calls(QStringLiteral("xdg-open")).constFirst().sessionLeader);
    }

    void renderComponents()
    {
        QWidget host;
        host.setObjectName(QStringLiteral("componentsHost"));
        auto* layout = new QVBoxLayout(&host);
        auto* chips = new QHBoxLayout;
        chips->setSpacing(0);
        for (auto source : {Application::Source::homebrew, Application::Source::sparkle,
                            Application::Source::appStore, Application::Source::other})
            chips->addWidget(new SourceBadgeView(source));
        chips->addWidget(new PasswordBadgeView(PasswordBadgeView::Style::sidebar));
        chips->addStretch(1);
        layout->addLayout(chips);
        auto* capsules = new QHBoxLayout;
        capsules->addWidget(new PasswordBadgeView(PasswordBadgeView::Style::header));
        capsules->addWidget(new PasswordBadgeView(PasswordBadgeView::Style::caskBadge));
        capsules->addStretch(1);
        layout->addLayout(capsules);
        auto* card = new Card(Card::tint(SystemColors::secondary(), false), QStringLiteral("Homebrew Adoption"));
        card->addWidget(new QLabel(QStringLiteral("This application can be adopted into Homebrew.")));
        card->addWidget(new QLabel(QStringLiteral("Second line of the card")));
        layout->addWidget(card);
        auto* bannerLabel = new QLabel(QStringLiteral("Downloading..."));
        layout->addWidget(new Banner(SystemColors::blue(), bannerLabel));
        auto* iconRow = new QHBoxLayout;
        for (const char* name : {"arrow.up", "arrow.clockwise", "checkmark.circle.fill", "shippingbox", "bag",
                                 "sparkles", "nosign", "stethoscope", "no.such.symbol"}) {
            auto* icon = new QLabel;
            icon->setPixmap(SymbolIcons::pixmap(QString::fromLatin1(name), 20, SystemColors::blue(), 2.0));
            iconRow->addWidget(icon);
        }
        iconRow->addStretch(1);
        layout->addLayout(iconRow);
        layout->addStretch(1);
        const QString file = renderToPng(&host, QStringLiteral("shared-components"), QSize(520, 320));
        QVERIFY(!file.isEmpty());
        qInfo("Rendered %s", qPrintable(file));
    }
};

QTEST_MAIN(TestSharedComponents)
#include "tst_sharedcomponents.moc"
