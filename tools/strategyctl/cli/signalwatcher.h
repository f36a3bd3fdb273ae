#ifndef SIGNALWATCHER_H
#define SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a request for the normal shutdown:
// the process finishes the command at hand, writes everything pending and
// lets go of the installation folder. A second signal while the first is
// being handled ends the process at once, as the signal would have.
//
// The handler only notes the signal and writes a byte to a pipe; the
// requested() signal is emitted from the event loop of the thread that
// called install(). caught() may be polled where no event loop runs.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    static SignalWatcher &instance();
    void install();

    // The signal number caught, 0 while none was.
    static int caught();

signals:
    void requested(int signalNumber);

private:
    SignalWatcher() = default;
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

#endif // SIGNALWATCHER_H
