#include "platform/UnityDockBadge.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace norvelle {

namespace {

// Object paths allow only [A-Za-z0-9_]; the desktop id may hold dots and dashes.
QString objectPathFor(const QString& desktopFileId)
{
    QString element;
    for (const QChar c : desktopFileId) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        element += plain ? QString(c) : QStringLiteral("_%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return QStringLiteral("/com/canonical/unity/launcherentry/") + element;
}

} // namespace

UnityDockBadge::UnityDockBadge(const QString& desktopFileId, const QDBusConnection& connection)
    : m_connection(connection), m_appUri(QStringLiteral("application://") + desktopFileId),
      m_objectPath(objectPathFor(desktopFileId))
{
}

void UnityDockBadge::setCount(std::optional<int> count)
{
    if (!m_connection.isConnected()) {
        return;
    }
    QDBusMessage message = QDBusMessage::createSignal(m_objectPath, QString::fromLatin1(interfaceName),
                                                      QString::fromLatin1(signalName));
    QVariantMap properties;
    // The protocol types "count" as a 64-bit integer; launchers ignore other widths.
    properties.insert(QStringLiteral("count"), QVariant::fromValue<qint64>(count.value_or(0)));
    properties.insert(QStringLiteral("count-visible"), count.has_value());
    message << m_appUri << properties;
    m_connection.send(message);
}

} // namespace norvelle
