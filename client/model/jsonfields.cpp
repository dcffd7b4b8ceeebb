#include "model/jsonfields.h"

#include <QJsonArray>

QStringList JsonFields::toTextList(const QJsonObject &object, const QString &key)
{
    QStringList texts;
    const QJsonArray array = object.value(key).toArray();
    for (const QJsonValue &value : array)
        texts << value.toVariant().toString();
    return texts;
}
