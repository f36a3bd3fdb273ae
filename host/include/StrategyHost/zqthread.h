#ifndef ZQTHREAD_H
#define ZQTHREAD_H

#include <QThread>

// The client's thread class: a QThread running its own event loop. Its
// destructor stops a thread that is still running instead of aborting.
class ZqThread : public QThread
{
    Q_OBJECT
public:
    explicit ZqThread(QObject *parent = nullptr);
    ~ZqThread() override;
};

#endif // ZQTHREAD_H
