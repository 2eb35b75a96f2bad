#pragma once

#include "model/Theme.h"

#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace norvelle {

class SettingsStore;

// Behind the settings window: which page is shown, and the user's appearance choice written to
// the stored "selectedTheme". Lives on the main thread; calls no service.
class SettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(SettingsCategory selectedCategory READ selectedCategory WRITE setSelectedCategory NOTIFY
                   selectedCategoryChanged)

public:
    // The settings pages, in the order the window lists them.
    enum class SettingsCategory { preferences, experimental, permissions, about };
    Q_ENUM(SettingsCategory)

    // "Preferences", "Experimental", "Permissions", "About": each page's identity.
    static QString rawValue(SettingsCategory category);
    // Exact match only; any other text gives none.
    static std::optional<SettingsCategory> categoryFromRawValue(const QString& rawValue);
    static QList<SettingsCategory> allCategories();

    // Whether the appearance the desktop currently gives the application is dark. A view layer
    // supplies it; without one the appearance counts as light.
    using DarkAppearanceQuery = std::function<bool()>;

    static constexpr std::chrono::milliseconds automaticThemeDelay{100};

    explicit SettingsViewModel(SettingsStore& settings, DarkAppearanceQuery isDarkAppearance = {},
                               QObject* parent = nullptr);
    ~SettingsViewModel() override;

    SettingsCategory selectedCategory() const { return m_selectedCategory; }
    void setSelectedCategory(SettingsCategory category);

    // Light and Dark are stored as they are. Automatic first stores the scheme in effect now
    // ("Dark" or "Light"), so the windows switch at once, and "Automatic" 0.1 seconds later
    // unless another choice came in between.
    void applyTheme(Theme theme);

    // What the settings window tells the user when a setting could not be saved, with the
    // reason; empty while nothing failed, and again once a setting is saved.
    QString saveFailure() const { return m_saveFailure; }

Q_SIGNALS:
    void selectedCategoryChanged(norvelle::SettingsViewModel::SettingsCategory category);
    void saveFailureChanged(const QString& text);

private:
    void setSaveFailure(const QString& text);

    SettingsStore& m_settings;
    DarkAppearanceQuery m_isDarkAppearance;
    SettingsCategory m_selectedCategory = SettingsCategory::preferences;
    quint64 m_themeGeneration = 0;
    QString m_saveFailure;
};

} // namespace norvelle
