#include "bundle/bundletext.h"

#include <StrategyLogic/displaytext.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {
QString number(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NaN");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    // Whole numbers within 64 bits without an exponent; the range is
    // checked first, since converting a double beyond it is undefined.
    if (d >= -9223372036854775808.0 && d < 9223372036854775808.0 && d == std::trunc(d))
        return QString::number(qint64(d));
    return QString::number(d, 'g', 15);
}
} // namespace

QString BundleText::member(const QString &pointer, const QString &name)
{
    QString token = name;
    token.replace(QLatin1Char('~'), QLatin1String("~0")).replace(QLatin1Char('/'), QLatin1String("~1"));
    return pointer + QLatin1Char('/') + token;
}

QString BundleText::element(const QString &pointer, int index)
{
    return pointer + QLatin1Char('/') + QString::number(index);
}

QString BundleText::shown(const QString &text)
{
    return StrategyLogic::shellQuoted(text);
}

QString BundleText::shown(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: return shown(value.toString());
    case QJsonValue::Double: return number(value.toDouble());
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array:
        return StrategyLogic::visibleText(QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)));
    case QJsonValue::Object:
        return StrategyLogic::visibleText(QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)));
    default: return QStringLiteral("-");
    }
}

QString BundleText::kindOf(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("true or false");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a text");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    default: return QStringLiteral("nothing");
    }
}
