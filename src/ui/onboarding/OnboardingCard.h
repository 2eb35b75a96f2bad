#pragma once

#include <QColor>
#include <QWidget>

class QVBoxLayout;

namespace norvelle {

// A card around one row of the onboarding screens: the content with 16 points of space
// around it, on a rounded rectangle (radius 12) spanning the width. The fill is the chosen
// colour at opacity 0.1, or the palette's text colour at 0.037 when no colour is chosen (the
// primary colour), read from the palette when painting so it follows the appearance.
class OnboardingCard : public QWidget {
    Q_OBJECT

public:
    enum class Fill { primary, secondary, color };

    explicit OnboardingCard(QWidget* parent = nullptr);
    OnboardingCard(Fill fill, const QColor& color, QWidget* parent = nullptr);

    QVBoxLayout* contentLayout() const { return m_content; }
    // The colour painted now, for this palette.
    QColor fillColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Fill m_fill;
    QColor m_color;
    QVBoxLayout* m_content;
};

} // namespace norvelle
