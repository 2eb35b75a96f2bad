#pragma once

#include "ui/onboarding/WelcomeTourRules.h"

#include <QWidget>
#include <optional>

class QHBoxLayout;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace norvelle {

class Clipboard;
class DetailViewModel;
class UrlOpener;
class WelcomeTourViewModel;

// The first-run tour in place of the main content: one page at a time above a navigation bar
// ("Back", on the environment page "Skip For Now" and "Check Again" while a tool is missing,
// "Next" or "Get Started"). Its state is the long-lived view model's, so a tour shown again
// opens where it was left; every time it comes on screen it checks the environment again.
// "Get Started" completes the tour through the app state.
class WelcomeTourView : public QWidget {
    Q_OBJECT

public:
    // Everything given must outlive the view; null seams do nothing.
    WelcomeTourView(WelcomeTourViewModel& viewModel, DetailViewModel& detailViewModel, UrlOpener* urlOpener,
                    Clipboard* clipboard, QWidget* parent = nullptr);

    WelcomeTourRules::Page currentPage() const { return *m_pageKind; }
    QWidget* currentPageWidget() const { return m_page; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showPage(bool animated);
    void updateBar();
    void goForward();
    QWidget* buildPage(WelcomeTourRules::Page page);

    WelcomeTourViewModel& m_viewModel;
    DetailViewModel& m_detailViewModel;
    UrlOpener* m_urlOpener;
    Clipboard* m_clipboard;
    QVBoxLayout* m_pageArea = nullptr;
    QWidget* m_page = nullptr;
    std::optional<WelcomeTourRules::Page> m_pageKind;
    QPushButton* m_back = nullptr;
    QWidget* m_toolPair = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_check = nullptr;
    QProgressBar* m_checkSpinner = nullptr;
    QPushButton* m_forward = nullptr;
};

} // namespace norvelle
