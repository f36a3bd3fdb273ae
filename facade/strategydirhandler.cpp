#include <StrategyLogic/strategydirhandler.h>

#include <zqapplicationdir.h>

#include <QDir>

StrategyDirHandler::StrategyDirHandler()
    : m_savedPath(QDir::currentPath())
{
    QDir::setCurrent(ZqApplicationDir::path());
}

StrategyDirHandler::StrategyDirHandler(const StrategyDirHandler &other) = default;

StrategyDirHandler &StrategyDirHandler::operator=(const StrategyDirHandler &other) = default;

StrategyDirHandler::~StrategyDirHandler()
{
    QDir::setCurrent(m_savedPath);
    m_savedPath.clear();
}

void StrategyDirHandler::restore()
{
    QDir::setCurrent(m_savedPath);
}
