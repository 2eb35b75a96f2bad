#pragma once

#include <QFont>

namespace norvelle {

// The platform's text styles as fonts. Sizes keep the macOS proportions (body 13 points,
// subheadline 11, caption 10, caption 2 10) scaled to the application font, so a larger
// desktop font makes every style larger alike.
class TextStyles {
public:
    enum class Style { largeTitle, title, title2, title3, headline, body, callout, subheadline, footnote,
                       caption, caption2 };

    static QFont font(Style style, QFont::Weight weight = QFont::Normal);
};

} // namespace norvelle
