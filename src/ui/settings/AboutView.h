#pragma once

#include <QString>
#include <QVariantMap>
#include <QWidget>

class QLabel;

namespace norvelle {

// The About page: the application's icon, name, version line, what it does and what it needs.
class AboutView : public QWidget {
    Q_OBJECT

public:
    static constexpr int iconSize = 64;

    // `info` holds the application's bundle facts ("CFBundleShortVersionString",
    // "CFBundleVersion"); see applicationInfo().
    explicit AboutView(const QVariantMap& info = applicationInfo(), QWidget* parent = nullptr);

    // "2.1 (45)", "2.1" without a build, and "Unknown" without a version. A value that is not
    // text, or is literally "Unknown", counts as missing.
    static QString versionString(const QVariantMap& info);
    // This build's facts: the application version set on QCoreApplication as the short version.
    static QVariantMap applicationInfo();

    QLabel* versionLabel() const { return m_version; }

private:
    QWidget* buildHeader(const QString& version);
    QLabel* m_version = nullptr;
};

} // namespace norvelle
