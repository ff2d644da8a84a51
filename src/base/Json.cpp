#include "base/Json.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace
{
QJsonDocument Parse(const QByteArray &baJson, bool *pOk)
{
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(baJson, &error);
    if (pOk)
        *pOk = error.error == QJsonParseError::NoError;
    return doc;
}
} // namespace

QJsonObject ParseJsonObject(const QByteArray &baJson, bool *pOk)
{
    return Parse(baJson, pOk).object();
}

QJsonArray ParseJsonArray(const QByteArray &baJson, bool *pOk)
{
    return Parse(baJson, pOk).array();
}
