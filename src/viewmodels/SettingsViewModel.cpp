#include "viewmodels/SettingsViewModel.h"

#include "platform/SettingsStore.h"

#include <QTimer>

namespace norvelle {

QString SettingsViewModel::rawValue(SettingsCategory category)
{
    switch (category) {
    case SettingsCategory::preferences:
        return QStringLiteral("Preferences");
    case SettingsCategory::experimental:
        return QStringLiteral("Experimental");
    case SettingsCategory::permissions:
        return QStringLiteral("Permissions");
    case SettingsCategory::about:
        return QStringLiteral("About");
    }
    return {};
}

std::optional<SettingsViewModel::SettingsCategory>
SettingsViewModel::categoryFromRawValue(const QString& text)
{
    for (const SettingsCategory category : allCategories()) {
        if (rawValue(category) == text)
            return category;
    }
    return std::nullopt;
}

QList<SettingsViewModel::SettingsCategory> SettingsViewModel::allCategories()
{
    return {SettingsCategory::preferences, SettingsCategory::experimental, SettingsCategory::permissions,
            SettingsCategory::about};
}

SettingsViewModel::SettingsViewModel(SettingsStore& settings, DarkAppearanceQuery isDarkAppearance,
                                     QObject* parent)
    : QObject(parent), m_settings(settings), m_isDarkAppearance(std::move(isDarkAppearance))
{
    connect(&m_settings, &SettingsStore::writeFailed, this, [this](const QString&, const QString& reason) {
        setSaveFailure(QStringLiteral("The setting could not be saved: ") + reason);
    });
    connect(&m_settings, &SettingsStore::valueChanged, this, [this] { setSaveFailure({}); });
}

void SettingsViewModel::setSaveFailure(const QString& text)
{
    if (m_saveFailure == text)
        return;
    m_saveFailure = text;
    Q_EMIT saveFailureChanged(text);
}

SettingsViewModel::~SettingsViewModel() = default;

void SettingsViewModel::setSelectedCategory(SettingsCategory category)
{
    if (m_selectedCategory == category)
        return;
    m_selectedCategory = category;
    Q_EMIT selectedCategoryChanged(category);
}

void SettingsViewModel::applyTheme(Theme theme)
{
    // A later choice wins over the delayed "Automatic" of an earlier one.
    const quint64 generation = ++m_themeGeneration;
    if (theme != Theme::system) {
        m_settings.setSelectedTheme(toRawValue(theme));
        return;
    }
    const bool dark = m_isDarkAppearance && m_isDarkAppearance();
    m_settings.setSelectedTheme(toRawValue(dark ? Theme::dark : Theme::light));
    QTimer::singleShot(automaticThemeDelay, this, [this, generation] {
        if (generation == m_themeGeneration)
            m_settings.setSelectedTheme(toRawValue(Theme::system));
    });
}

} // namespace norvelle
