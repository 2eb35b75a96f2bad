#pragma once

#include <QObject>

class QSocketNotifier;

namespace norvelle {

// Turns SIGINT, SIGTERM and SIGHUP (Ctrl+C in the terminal Norvelle was started from, a logout)
// into an ordinary quit of the event loop, so the quit sequence runs and the tools we started
// in sessions of their own are stopped too instead of being left behind. One per process.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

Q_SIGNALS:
    void quitRequested(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace norvelle
