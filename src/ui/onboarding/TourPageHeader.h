#pragma once

#include <QString>

class QVBoxLayout;
class QWidget;

namespace norvelle {

// The header every tour page shares: a large bold title over a secondary, centred subtitle.
// Adds both to `column` (spacing `spacing`) and returns that column.
QVBoxLayout* addTourPageHeader(QWidget* page, const QString& title, const QString& subtitle, int spacing);

} // namespace norvelle
