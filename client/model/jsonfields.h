#pragma once

#include <QJsonObject>
#include <QStringList>

// Reading members of server replies: a missing or mistyped member reads as 0 or empty text.
class JsonFields
{
public:
    static int toInt(const QJsonObject &object, const QString &key)
    {
        return object.value(key).toVariant().toInt();
    }
    // Any scalar as text (a number gives its digits).
    static QString toText(const QJsonObject &object, const QString &key)
    {
        return object.value(key).toVariant().toString();
    }
    static QStringList toTextList(const QJsonObject &object, const QString &key);
};
