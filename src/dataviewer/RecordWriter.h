#pragma once
// Writes diagnostic record files in the device's chunk format (see
// RecordFile.h); used to make sample records for the demo and the tests.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

class RecordWriter
{
public:
    // The bytes the device writes for a JSON text: UTF-8, except that the
    // degree sign is the single byte 0xB0 (so "°C" becomes B0 43).
    static QByteArray DeviceBytes(const QByteArray &baUtf8Json);

    // Appends one chunk (length field, payload and the unread bytes the device
    // leaves after chunk 1 and after every frame, written as zeros).
    void AppendChunk(const QByteArray &baPayload);
    void AppendObject(const QJsonObject &joChunk);
    void AppendArray(const QJsonArray &jaChunk);

    const QByteArray &Data() const { return m_baData; }

    // Writes baData to sPath, creating the folders on the way.
    static bool WriteFile(const QString &sPath, const QByteArray &baData);

    // A whole record: header, content {"DATA": {"TT": sTitle, "IS": jaItems}}, frames.
    static QByteArray Record(const QJsonObject &joHeader, const QString &sTitle,
                             const QJsonArray &jaItems, const QList<QJsonArray> &lstFrames = {});

private:
    QByteArray m_baData;
    int m_nChunks = 0;
};
