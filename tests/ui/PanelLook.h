#pragma once

// What a detail-pane panel shows, read the way the user reads it, for the panels' tables.

#include "RenderToPng.h"
#include "ui/main/MainWindow.h"
#include "ui/main/components/ClampedLabel.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace norvelle::test {

// The buttons `root` shows, top to bottom and left to right, joined by "|": "*Title" for the
// default (prominent) one, "(Title)" for a disabled one; "-" for none.
inline QString buttonRow(const QWidget* root)
{
    QList<const QPushButton*> shown;
    for (const QPushButton* button : root->findChildren<QPushButton*>()) {
        if (button->isVisibleTo(root))
            shown.append(button);
    }
    const auto place = [root](const QWidget* w) { return w->mapTo(root, QPoint(0, 0)); };
    std::sort(shown.begin(), shown.end(), [&place](const QWidget* a, const QWidget* b) {
        return std::pair(place(a).y(), place(a).x()) < std::pair(place(b).y(), place(b).x());
    });
    QStringList titles;
    for (const QPushButton* button : shown) {
        QString title = button->isDefault() ? QStringLiteral("*") + button->text() : button->text();
        titles.append(button->isEnabled() ? title : QStringLiteral("(%1)").arg(title));
    }
    return titles.isEmpty() ? QStringLiteral("-") : titles.join(QLatin1Char('|'));
}

// Empty when there is no such label.
inline QString labelText(const QWidget* root, const char* name)
{
    const auto* label = root->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

inline QColor labelColor(const QWidget* root, const char* name)
{
    return root->findChild<QLabel*>(QString::fromLatin1(name))->palette().color(QPalette::WindowText);
}

// A step or subtitle far longer than two lines at any panel width.
inline QString longText()
{
    return QStringLiteral("Error: It seems there is already an App at '/Applications/Figma.app'. ").repeated(4);
}

// Shows `panel` at a detail pane's width and tells how the long text in `name` was cut: the
// number of lines shown, and whether the tooltip holds the whole text.
inline QString cutOf(QWidget* panel, const char* name)
{
    panel->resize(560, panel->heightForWidth(560) > 0 ? panel->heightForWidth(560) : 400);
    panel->show();
    auto* label = panel->findChild<ClampedLabel*>(QString::fromLatin1(name));
    if (!label)
        return QStringLiteral("not clamped");
    const int lines =
        int(label->text().count(QLatin1Char('\n')) + label->text().count(QChar::LineSeparator)) + 1;
    return QStringLiteral("%1 lines%2")
        .arg(lines)
        .arg(label->toolTip() == label->fullText() ? QLatin1String(", tooltip") : QLatin1String(""));
}

// Renders `widget` once in the light and once in the dark appearance.
inline void renderBothThemes(QWidget* widget, const QString& name, QSize size)
{
    const QPalette original = widget->palette();
    widget->setPalette(MainWindow::paletteFor(Theme::light, original));
    renderToPng(widget, name + QStringLiteral("-light"), size);
    widget->setPalette(MainWindow::paletteFor(Theme::dark, original));
    renderToPng(widget, name + QStringLiteral("-dark"), size);
    widget->setPalette(original);
}

} // namespace norvelle::test
