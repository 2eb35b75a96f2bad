#include "ui/SymbolIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>
#include <memory>

namespace norvelle {

namespace {

// Symbol name -> file in the icon resource. Several symbols share one drawing where the icon
// set has no closer match.
const QHash<QString, QString>& symbolFiles()
{
    static const QHash<QString, QString> files{
        {QStringLiteral("app.dashed"), QStringLiteral("dash-square-dotted")},
        {QStringLiteral("app.badge"), QStringLiteral("app-indicator")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("arrow-clockwise")},
        {QStringLiteral("arrow.counterclockwise"), QStringLiteral("arrow-counterclockwise")},
        {QStringLiteral("arrow.down.circle"), QStringLiteral("arrow-down-circle")},
        {QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("arrow-repeat")},
        {QStringLiteral("arrow.up"), QStringLiteral("arrow-up")},
        {QStringLiteral("arrow.up.circle"), QStringLiteral("arrow-up-circle")},
        {QStringLiteral("arrow.up.circle.fill"), QStringLiteral("arrow-up-circle-fill")},
        {QStringLiteral("arrow.up.right.square"), QStringLiteral("box-arrow-up-right")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("arrow-counterclockwise")},
        {QStringLiteral("bag"), QStringLiteral("bag")},
        {QStringLiteral("bag.fill"), QStringLiteral("bag-fill")},
        {QStringLiteral("checkmark"), QStringLiteral("check-lg")},
        {QStringLiteral("checkmark.circle"), QStringLiteral("check-circle")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("check-circle-fill")},
        {QStringLiteral("chevron.down"), QStringLiteral("chevron-down")},
        {QStringLiteral("chevron.right"), QStringLiteral("chevron-right")},
        {QStringLiteral("clock"), QStringLiteral("clock")},
        {QStringLiteral("doc.on.clipboard"), QStringLiteral("clipboard")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("files")},
        {QStringLiteral("doc.text"), QStringLiteral("file-earmark-text")},
        {QStringLiteral("envelope"), QStringLiteral("envelope")},
        {QStringLiteral("exclamationmark.circle"), QStringLiteral("exclamation-circle")},
        {QStringLiteral("exclamationmark.circle.fill"), QStringLiteral("exclamation-circle-fill")},
        {QStringLiteral("exclamationmark.octagon"), QStringLiteral("exclamation-octagon")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("exclamation-triangle")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("exclamation-triangle-fill")},
        {QStringLiteral("eye.slash"), QStringLiteral("eye-slash")},
        {QStringLiteral("flask"), QStringLiteral("flask")},
        {QStringLiteral("folder"), QStringLiteral("folder")},
        {QStringLiteral("forward"), QStringLiteral("skip-forward")},
        {QStringLiteral("forward.fill"), QStringLiteral("skip-forward-fill")},
        {QStringLiteral("gearshape"), QStringLiteral("gear")},
        {QStringLiteral("gearshape.fill"), QStringLiteral("gear-fill")},
        {QStringLiteral("globe"), QStringLiteral("globe")},
        {QStringLiteral("hammer"), QStringLiteral("hammer")},
        {QStringLiteral("hand.raised"), QStringLiteral("shield-lock")},
        {QStringLiteral("hourglass"), QStringLiteral("hourglass-split")},
        {QStringLiteral("info.circle"), QStringLiteral("info-circle")},
        {QStringLiteral("info.circle.fill"), QStringLiteral("info-circle-fill")},
        {QStringLiteral("key"), QStringLiteral("key")},
        {QStringLiteral("ladybug"), QStringLiteral("bug")},
        {QStringLiteral("line.3.horizontal.decrease"), QStringLiteral("funnel")},
        {QStringLiteral("line.3.horizontal.decrease.circle"), QStringLiteral("funnel")},
        {QStringLiteral("link"), QStringLiteral("link-45deg")},
        {QStringLiteral("list.bullet"), QStringLiteral("list-ul")},
        {QStringLiteral("lock"), QStringLiteral("lock")},
        {QStringLiteral("lock.fill"), QStringLiteral("lock-fill")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("search")},
        {QStringLiteral("menubar.rectangle"), QStringLiteral("menu-app")},
        {QStringLiteral("minus"), QStringLiteral("dash-lg")},
        {QStringLiteral("network"), QStringLiteral("globe")},
        {QStringLiteral("nosign"), QStringLiteral("slash-circle")},
        {QStringLiteral("person.crop.circle"), QStringLiteral("person-circle")},
        {QStringLiteral("play.fill"), QStringLiteral("play-fill")},
        {QStringLiteral("plus"), QStringLiteral("plus-lg")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("question-circle")},
        {QStringLiteral("questionmark.text.page"), QStringLiteral("file-earmark-text")},
        {QStringLiteral("safari"), QStringLiteral("compass")},
        {QStringLiteral("shippingbox"), QStringLiteral("box-seam")},
        {QStringLiteral("shippingbox.fill"), QStringLiteral("box-seam-fill")},
        {QStringLiteral("shippingbox.and.arrow.backward"), QStringLiteral("box-arrow-in-left")},
        {QStringLiteral("shippingbox.and.arrow.backward.fill"), QStringLiteral("box-arrow-in-left")},
        {QStringLiteral("sidebar.left"), QStringLiteral("layout-sidebar")},
        {QStringLiteral("sparkle"), QStringLiteral("stars")},
        {QStringLiteral("sparkles"), QStringLiteral("stars")},
        {QStringLiteral("star"), QStringLiteral("star")},
        {QStringLiteral("stethoscope"), QStringLiteral("heart-pulse")},
        {QStringLiteral("stop.circle"), QStringLiteral("stop-circle")},
        {QStringLiteral("switch.2"), QStringLiteral("toggles")},
        {QStringLiteral("terminal"), QStringLiteral("terminal")},
        {QStringLiteral("terminal.fill"), QStringLiteral("terminal-fill")},
        {QStringLiteral("text.rectangle"), QStringLiteral("card-text")},
        {QStringLiteral("trash"), QStringLiteral("trash")},
        {QStringLiteral("wifi"), QStringLiteral("wifi")},
        {QStringLiteral("wifi.slash"), QStringLiteral("wifi-off")},
        {QStringLiteral("wrench"), QStringLiteral("wrench")},
        {QStringLiteral("xmark"), QStringLiteral("x-lg")},
        {QStringLiteral("xmark.circle"), QStringLiteral("x-circle")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("x-circle-fill")},
    };
    return files;
}

const QString kFallbackFile = QStringLiteral("question-square");

QColor effectiveColor(const QColor& color)
{
    if (color.isValid())
        return color;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::palette().color(QPalette::WindowText);
    return QColor(Qt::black);
}

// Called from the GUI thread only, like everything that draws.
QByteArray loadFile(const QString& file)
{
    static QHash<QString, QByteArray> cache;
    auto found = cache.constFind(file);
    if (found != cache.constEnd())
        return *found;
    QFile svg(QStringLiteral(":/icons/%1.svg").arg(file));
    QByteArray data;
    if (svg.open(QIODevice::ReadOnly))
        data = svg.readAll();
    cache.insert(file, data);
    return data;
}

// Draws the recoloured SVG at whatever size is asked for, so icons stay sharp at any scale.
// An icon made without a colour of its own draws in the palette's text colour of the moment it
// is painted, so a theme switch recolours it without anybody making it again.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QByteArray svg, qreal opacity) : m_svg(std::move(svg)), m_opacity(opacity) {}
    explicit SymbolIconEngine(QString symbol) : m_symbol(std::move(symbol)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QSvgRenderer renderer(m_symbol.isEmpty() ? m_svg : SymbolIcons::svgData(m_symbol));
        painter->save();
        painter->setOpacity(painter->opacity() * m_opacity * (mode == QIcon::Disabled ? 0.4 : 1.0));
        // Keep the drawing square and centred in the rectangle.
        const int side = std::min(rect.width(), rect.height());
        const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side,
                           side);
        renderer.render(painter, square);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap result(size);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return result;
    }

    QIconEngine* clone() const override
    {
        return m_symbol.isEmpty() ? new SymbolIconEngine(m_svg, m_opacity) : new SymbolIconEngine(m_symbol);
    }
    QString key() const override { return QStringLiteral("norvelle-symbol"); }

private:
    QByteArray m_svg;
    QString m_symbol; // set: follows the palette
    qreal m_opacity = 1.0;
};

} // namespace

bool SymbolIcons::isKnown(const QString& sfSymbolName)
{
    return symbolFiles().contains(sfSymbolName);
}

QByteArray SymbolIcons::svgData(const QString& sfSymbolName, const QColor& color)
{
    const QString file = symbolFiles().value(sfSymbolName, kFallbackFile);
    QByteArray svg = loadFile(file);
    if (svg.isEmpty())
        svg = loadFile(kFallbackFile);
    const QColor ink = effectiveColor(color);
    svg.replace("currentColor", ink.name(QColor::HexRgb).toLatin1());
    return svg;
}

QIcon SymbolIcons::icon(const QString& sfSymbolName, const QColor& color)
{
    if (!color.isValid())
        return QIcon(new SymbolIconEngine(sfSymbolName));
    const QColor ink = effectiveColor(color);
    return QIcon(new SymbolIconEngine(svgData(sfSymbolName, ink), ink.alphaF()));
}

QPixmap SymbolIcons::pixmap(const QString& sfSymbolName, int size, const QColor& color, qreal devicePixelRatio)
{
    const int pixels = std::max(1, qRound(size * devicePixelRatio));
    QPixmap result = icon(sfSymbolName, color).pixmap(QSize(pixels, pixels));
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace norvelle
