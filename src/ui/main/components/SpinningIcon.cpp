#include "ui/main/components/SpinningIcon.h"

#include "ui/SymbolIcons.h"

#include <QAction>
#include <QPainter>
#include <QTimer>
#include <QTransform>

namespace norvelle {

namespace {

constexpr const char* kPhase = "spinningIconPhase";
constexpr int kSize = 16;

QIcon turned(const QString& symbol, int degrees)
{
    const QPixmap source = SymbolIcons::pixmap(symbol, kSize, {}, 2.0);
    QPixmap result(source.size());
    result.setDevicePixelRatio(source.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(kSize / 2.0, kSize / 2.0);
    painter.rotate(degrees);
    painter.translate(-kSize / 2.0, -kSize / 2.0);
    painter.drawPixmap(0, 0, source);
    return QIcon(result);
}

} // namespace

void SpinningIcon::attach(QAction* action, const QString& symbol)
{
    if (!action)
        return;
    action->setProperty(kPhase, 0);
    action->setIcon(turned(symbol, 0));
    action->setIconVisibleInMenu(true);
    auto* timer = new QTimer(action);
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, action, [action, symbol] {
        const int next = (action->property(kPhase).toInt() + 30) % 360;
        action->setProperty(kPhase, next);
        action->setIcon(turned(symbol, next));
    });
    timer->start();
}

int SpinningIcon::phase(const QAction* action)
{
    const QVariant value = action ? action->property(kPhase) : QVariant();
    return value.isValid() ? value.toInt() : -1;
}

} // namespace norvelle
