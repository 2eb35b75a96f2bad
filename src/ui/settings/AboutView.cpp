#include "ui/settings/AboutView.h"

#include "ui/ProductIcon.h"
#include "ui/settings/SettingsCard.h"
#include "ui/settings/SettingsStyle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

namespace {

QString stringOrUnknown(const QVariantMap& info, const QString& key)
{
    const QVariant value = info.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QStringLiteral("Unknown");
}

} // namespace

AboutView::AboutView(const QVariantMap& info, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("aboutView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addWidget(buildHeader(versionString(info)));

    auto* about = new SettingsCard(QStringLiteral("About"), this);
    about->setObjectName(QStringLiteral("aboutCard"));
    auto* description = SettingsStyle::label(
        QStringLiteral(
            "Norvelle manages updates for all your macOS applications across Homebrew Casks, Mac App "
            "Store, and Sparkle. Seamlessly transition manually installed apps to Homebrew Cask "
            "management."),
        "aboutDescription", about);
    SettingsStyle::subheadline(description);
    about->contentLayout()->addWidget(description);
    layout->addWidget(about);

    auto* requirements = new SettingsCard(QStringLiteral("System Requirements"), this);
    requirements->setObjectName(QStringLiteral("requirementsCard"));
    auto* system =
        SettingsStyle::label(QStringLiteral("macOS 15.0 or later"), "systemRequirements", requirements);
    SettingsStyle::subheadline(system);
    requirements->contentLayout()->addWidget(system);
    layout->addWidget(requirements);
    layout->addStretch(1);
}

QWidget* AboutView::buildHeader(const QString& version)
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);

    auto* icon = new QLabel(header);
    icon->setObjectName(QStringLiteral("applicationIcon"));
    icon->setFixedSize(iconSize, iconSize);
    icon->setPixmap(ProductIcon::pixmap(iconSize, std::max<qreal>(2.0, devicePixelRatioF())));
    icon->setScaledContents(true);
    row->addWidget(icon);

    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    auto* name = SettingsStyle::label(QStringLiteral("Norvelle"), "applicationName", header);
    SettingsStyle::pixelSize(name, 20, true);
    names->addWidget(name);
    m_version = SettingsStyle::label(version, "versionLabel", header);
    SettingsStyle::subheadline(m_version);
    names->addWidget(m_version);
    row->addLayout(names);
    row->addStretch(1);
    return header;
}

QString AboutView::versionString(const QVariantMap& info)
{
    const QString unknown = QStringLiteral("Unknown");
    const QString version = stringOrUnknown(info, QStringLiteral("CFBundleShortVersionString"));
    const QString build = stringOrUnknown(info, QStringLiteral("CFBundleVersion"));
    if (build == unknown)
        return version;
    if (version == unknown)
        return unknown;
    return version + QStringLiteral(" (") + build + QLatin1Char(')');
}

QVariantMap AboutView::applicationInfo()
{
    QVariantMap info;
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        info.insert(QStringLiteral("CFBundleShortVersionString"), version);
    return info;
}

} // namespace norvelle
