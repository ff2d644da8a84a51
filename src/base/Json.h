#pragma once
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

// *pOk tells whether the text parsed as JSON at all, whatever its top-level
// kind; the result is empty when the top level is of the other kind.
QJsonObject ParseJsonObject(const QByteArray &baJson, bool *pOk = nullptr);
QJsonArray ParseJsonArray(const QByteArray &baJson, bool *pOk = nullptr);
