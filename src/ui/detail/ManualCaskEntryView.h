#pragma once

#include "model/Application.h"

#include <QFuture>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace norvelle {

class Card;
class ClampedLabel;

// "Manual Cask": the user names the Homebrew cask (and optionally its tap) of an application
// Homebrew does not manage yet; "Verify" hands the trimmed values to the pane. The typed text
// lives as long as the panel. When the verification fails, its reason shows under the fields
// until the next "Verify" or an edit of either field.
class ManualCaskEntryView : public QWidget {
    Q_OBJECT

public:
    // The future ends with the failure's description, empty when the cask was verified.
    using OnVerify = std::function<QFuture<QString>(const QString& cask, const std::optional<QString>& tap)>;

    static QString explanation(const QList<Application::Source>& sources);
    // Leading and trailing spaces and tabs removed; line breaks stay (and fail verification).
    static QString trimmed(const QString& text);

    ManualCaskEntryView(std::shared_ptr<Application> application, bool isValidating, OnVerify onVerify,
                        QWidget* parent = nullptr);

    void setIsValidating(bool isValidating);
    void syncSources();
    // The reason the last verification failed; empty while none shows.
    QString failureText() const;

private:
    void sync();
    void verify();
    void showFailure(const QString& text);

    std::shared_ptr<Application> m_application;
    bool m_isValidating;
    OnVerify m_onVerify;
    QLabel* m_explanation = nullptr;
    Card* m_card = nullptr;
    QLineEdit* m_cask = nullptr;
    QLineEdit* m_tap = nullptr;
    QPushButton* m_verify = nullptr;
    ClampedLabel* m_failure = nullptr;
};

} // namespace norvelle
