#include "ui/settings/SettingsWindow.h"

#include "platform/SettingsStore.h"
#include "ui/SymbolIcons.h"
#include "ui/main/components/SystemColors.h"
#include "ui/settings/ExperimentalView.h"
#include "ui/settings/PermissionsView.h"
#include "ui/settings/PreferencesView.h"
#include "ui/settings/SettingsAppearance.h"
#include "ui/settings/SettingsStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace norvelle {

SettingsWindow::SettingsWindow(SettingsViewModel& viewModel, AppState& appState, SettingsStore& settings,
                               const QVariantMap& applicationInfo, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_appState(appState), m_settings(settings),
      m_applicationInfo(applicationInfo)
{
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QStringLiteral("Settings"));
    setMinimumSize(defaultWidth, defaultHeight);
    resize(defaultWidth, defaultHeight);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar());

    auto* detail = new QWidget(this);
    detail->setObjectName(QStringLiteral("settingsDetail"));
    m_detail = new QVBoxLayout(detail);
    // The pages set no outer margins of their own; the detail column gives them room.
    m_detail->setContentsMargins(16, 12, 16, 16);
    layout->addWidget(detail, 1);
    // Above every page: a setting that could not be saved, and why.
    m_saveFailure = SettingsStyle::label(QString(), "settingsSaveFailure", detail);
    m_saveFailure->setWordWrap(true);
    m_saveFailure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The one red reads on the light and the dark palette alike; the window's other roles pass through.
    QPalette warning;
    warning.setColor(QPalette::WindowText, SystemColors::red());
    m_saveFailure->setPalette(warning);
    m_detail->addWidget(m_saveFailure);
    showSaveFailure(m_viewModel.saveFailure());

    showCategory(m_viewModel.selectedCategory());
    applyAppearance();

    connect(m_categories, &QListWidget::currentRowChanged, this, &SettingsWindow::chooseRow);
    // Exactly one row is always selected: a click that would clear the selection restores it.
    connect(m_categories->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_categories->selectedItems().isEmpty()) {
            const QSignalBlocker blocker(m_categories);
            m_categories->setCurrentRow(
                static_cast<int>(SettingsViewModel::allCategories().indexOf(m_viewModel.selectedCategory())));
        }
    });
    connect(&m_viewModel, &SettingsViewModel::selectedCategoryChanged, this, &SettingsWindow::showCategory);
    connect(&m_viewModel, &SettingsViewModel::saveFailureChanged, this, &SettingsWindow::showSaveFailure);
    connect(&m_settings, &SettingsStore::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(SettingsStore::Keys::selectedTheme))
            applyAppearance();
    });
}

QWidget* SettingsWindow::buildSidebar()
{
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("settingsSidebar"));
    sidebar->setFixedWidth(sidebarWidth);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(8, 12, 8, 8);

    auto* title = SettingsStyle::label(QStringLiteral("Categories"), "categoriesTitle", sidebar);
    SettingsStyle::pageTitle(title);
    SettingsStyle::secondary(title);
    layout->addWidget(title);

    m_categories = new QListWidget(sidebar);
    m_categories->setObjectName(QStringLiteral("categoryList"));
    m_categories->setSelectionMode(QAbstractItemView::SingleSelection);
    m_categories->setFrameShape(QFrame::NoFrame);
    m_categories->viewport()->setAutoFillBackground(false);
    m_categories->setSpacing(2);
    m_categories->setIconSize(QSize(16, 16));
    for (const auto category : SettingsViewModel::allCategories()) {
        auto* item = new QListWidgetItem(SettingsViewModel::rawValue(category), m_categories);
        item->setData(Qt::UserRole, symbolName(category));
    }
    updateCategoryIcons();
    layout->addWidget(m_categories, 1);
    return sidebar;
}

QString SettingsWindow::symbolName(SettingsViewModel::SettingsCategory category)
{
    switch (category) {
    case SettingsViewModel::SettingsCategory::preferences: return QStringLiteral("switch.2");
    case SettingsViewModel::SettingsCategory::experimental: return QStringLiteral("flask");
    case SettingsViewModel::SettingsCategory::permissions: return QStringLiteral("hand.raised");
    case SettingsViewModel::SettingsCategory::about: return QStringLiteral("info.circle");
    }
    return {};
}

void SettingsWindow::updateCategoryIcons()
{
    // The symbols are drawn in the window's text colour, so they are redrawn for a new palette;
    // the selected row's symbol takes the selection's text colour, as its title does, or a dark
    // symbol would sit on the dark selection of the light theme.
    const QColor ink = palette().color(QPalette::WindowText);
    const QColor selectedInk = m_categories->palette().color(QPalette::HighlightedText);
    for (int row = 0; row < m_categories->count(); ++row) {
        QListWidgetItem* item = m_categories->item(row);
        const QString symbol = item->data(Qt::UserRole).toString();
        const QIcon normal = SymbolIcons::icon(symbol, ink);
        const QIcon selected = SymbolIcons::icon(symbol, selectedInk);
        QIcon icon;
        for (const int side : {16, 32}) {
            icon.addPixmap(normal.pixmap(QSize(side, side)), QIcon::Normal);
            icon.addPixmap(selected.pixmap(QSize(side, side)), QIcon::Selected);
        }
        item->setIcon(icon);
    }
}

void SettingsWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_categories)
        updateCategoryIcons();
}

void SettingsWindow::chooseRow(int row)
{
    const auto categories = SettingsViewModel::allCategories();
    if (row >= 0 && row < categories.size())
        m_viewModel.setSelectedCategory(categories.at(row));
}

void SettingsWindow::showCategory(SettingsViewModel::SettingsCategory category)
{
    {
        const QSignalBlocker blocker(m_categories);
        m_categories->setCurrentRow(static_cast<int>(SettingsViewModel::allCategories().indexOf(category)));
    }
    // Pages keep nothing between visits, so the previous one is simply replaced.
    if (m_page != nullptr) {
        m_detail->removeWidget(m_page);
        m_page->deleteLater();
        m_page = nullptr;
    }
    QWidget* detail = m_detail->parentWidget();
    switch (category) {
    case SettingsViewModel::SettingsCategory::preferences:
        m_page = new PreferencesView(m_viewModel, m_settings, detail);
        break;
    case SettingsViewModel::SettingsCategory::experimental:
        m_page = new ExperimentalView(detail);
        break;
    case SettingsViewModel::SettingsCategory::permissions:
        m_page = new PermissionsView(m_appState, detail);
        break;
    case SettingsViewModel::SettingsCategory::about:
        m_page = new AboutView(m_applicationInfo, detail);
        break;
    }
    // Every page spans the column; its content starts at the top-left corner.
    m_detail->addWidget(m_page, 1);
}

void SettingsWindow::showSaveFailure(const QString& text)
{
    m_saveFailure->setText(text);
    m_saveFailure->setVisible(!text.isEmpty());
}

void SettingsWindow::applyAppearance()
{
    m_override = SettingsAppearance::colorSchemeOverride(m_settings.selectedTheme());
    setPalette(m_override ? SettingsAppearance::palette(*m_override) : QPalette());
}

} // namespace norvelle
