#include "zqpluginbaseobject.h"

ZqPluginBaseObject::ZqPluginBaseObject(QObject *parent)
    : QObject(parent)
{
}

ZqPluginBaseObject::~ZqPluginBaseObject() = default;

void ZqPluginBaseObject::initialize()
{
}

void ZqPluginBaseObject::doBeforeClose()
{
}
