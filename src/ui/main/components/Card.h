#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QVBoxLayout;

namespace norvelle {

class RoundedPanel;

// A filled card with smooth corners that spans the available width, optionally under a
// heading. Top to bottom, 8 points apart: the heading row (only when a title is given, even an
// empty one) with the title in medium weight, indented 12; then the card, whose content is
// stacked 12 points apart with 16 points of space around it, on `backgroundColor` as given
// (opacity included) in a rounded rectangle of radius 12.
class Card : public QWidget {
    Q_OBJECT

public:
    static constexpr int spacing = 8;
    static constexpr int contentSpacing = 12;
    static constexpr int padding = 16;
    static constexpr int titleIndent = 12;
    static constexpr qreal radius = 12;

    explicit Card(const QColor& backgroundColor, const std::optional<QString>& title = std::nullopt,
                  QWidget* parent = nullptr);

    // The fill a panel passes for a chosen colour: opacity 0.037 for the primary colour,
    // 0.1 for any other.
    static QColor tint(const QColor& chosen, bool chosenIsPrimary);

    QColor backgroundColor() const;
    void setBackgroundColor(const QColor& color);
    // Null when the card has no heading.
    QLabel* titleLabel() const { return m_title; }
    RoundedPanel* cardFrame() const { return m_frame; }
    QVBoxLayout* contentLayout() const { return m_content; }
    void addWidget(QWidget* widget);

private:
    QLabel* m_title = nullptr;
    RoundedPanel* m_frame;
    QVBoxLayout* m_content;
};

} // namespace norvelle
