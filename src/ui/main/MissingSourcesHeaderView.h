#pragma once

#include "model/EnvironmentStatus.h"

#include <QWidget>

class QLabel;

namespace norvelle {

// The banner that names the missing tools ("Missing:" Brew and/or App Store, "View") and asks
// for the tool-installation sheet when clicked. Shows nothing while both tools are present or
// while `shouldHide`.
class MissingSourcesHeaderView : public QWidget {
    Q_OBJECT
public:
    explicit MissingSourcesHeaderView(QWidget* parent = nullptr);

    void setState(const EnvironmentStatus& environmentStatus, bool shouldHide);
    QString missingNames() const;

Q_SIGNALS:
    void showSheetClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* m_names = nullptr;
};

} // namespace norvelle
