#pragma once

#include "model/EnvironmentStatus.h"

#include <QString>
#include <QWidget>

class QVBoxLayout;

namespace norvelle {

class Clipboard;
class CopyFlag;
class DetailViewModel;
class UrlOpener;

// The tour's environment page: whether Homebrew and mas are installed and, for each missing
// tool, its install command to copy or to run in Terminal at once (the tour asks nothing
// first). With both tools present it shows the two installed rows without scrolling.
class EnvironmentPageView : public QWidget {
    Q_OBJECT

public:
    // `detailViewModel` and the seams must outlive the page; null seams do nothing.
    EnvironmentPageView(const EnvironmentStatus& environmentStatus, const QString& brewCommand,
                        const QString& masCommand, DetailViewModel& detailViewModel, UrlOpener* urlOpener,
                        Clipboard* clipboard, QWidget* parent = nullptr);

    // A new check's answer; the copy confirmations stay as they are.
    void setEnvironmentStatus(const EnvironmentStatus& environmentStatus);
    EnvironmentStatus environmentStatus() const { return m_status; }

private:
    void rebuild();
    QWidget* installedRow(const QString& title, QWidget* parent);

    EnvironmentStatus m_status;
    const QString m_brewCommand;
    const QString m_masCommand;
    DetailViewModel& m_detailViewModel;
    UrlOpener* m_urlOpener;
    Clipboard* m_clipboard;
    CopyFlag* m_didCopyBrew;
    CopyFlag* m_didCopyMAS;
    QVBoxLayout* m_root = nullptr;
    QWidget* m_body = nullptr;
};

} // namespace norvelle
