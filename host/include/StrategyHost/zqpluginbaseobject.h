#ifndef ZQPLUGINBASEOBJECT_H
#define ZQPLUGINBASEOBJECT_H

#include <QObject>

// Base class of the client's plug-in objects. The client calls
// initialize() once after loading the plug-in and doBeforeClose() before
// it shuts down.
class ZqPluginBaseObject : public QObject
{
    Q_OBJECT
public:
    explicit ZqPluginBaseObject(QObject *parent = nullptr);
    ~ZqPluginBaseObject() override;

    virtual void initialize();
    virtual void doBeforeClose();
};

#endif // ZQPLUGINBASEOBJECT_H
