#include "ui/main/components/CopyFlag.h"

#include <QTimer>

namespace norvelle {

CopyFlag::CopyFlag(QObject* parent) : QObject(parent) {}

void CopyFlag::setValue(bool value)
{
    if (m_value == value)
        return;
    m_value = value;
    Q_EMIT valueChanged(value);
}

void CopyFlag::confirmCopy()
{
    setValue(true);
    QTimer::singleShot(m_resetDelay, this, [this] { setValue(false); });
}

} // namespace norvelle
