#include "zqthread.h"

ZqThread::ZqThread(QObject *parent)
    : QThread(parent)
{
}

ZqThread::~ZqThread()
{
    if (isRunning() && QThread::currentThread() != this) {
        quit();
        wait();
    }
}
