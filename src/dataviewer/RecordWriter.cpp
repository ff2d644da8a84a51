#include "dataviewer/RecordWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QtEndian>

QByteArray RecordWriter::DeviceBytes(const QByteArray &baUtf8Json)
{
    QByteArray ba = baUtf8Json;
    return ba.replace(QByteArray("\xC2\xB0", 2), QByteArray("\xB0", 1));
}

void RecordWriter::AppendChunk(const QByteArray &baPayload)
{
    char szLength[4];
    qToBigEndian<quint32>(quint32(baPayload.size()), szLength);
    m_baData.append(szLength, 4);
    m_baData.append(baPayload);
    if (m_nChunks == 1)
        m_baData.append(4, '\0');
    else if (m_nChunks > 1)
        m_baData.append(2, '\0');
    ++m_nChunks;
}

void RecordWriter::AppendObject(const QJsonObject &joChunk)
{
    AppendChunk(DeviceBytes(QJsonDocument(joChunk).toJson(QJsonDocument::Compact)));
}

void RecordWriter::AppendArray(const QJsonArray &jaChunk)
{
    AppendChunk(DeviceBytes(QJsonDocument(jaChunk).toJson(QJsonDocument::Compact)));
}

bool RecordWriter::WriteFile(const QString &sPath, const QByteArray &baData)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QSaveFile file(sPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(baData) != baData.size())
        return false;
    return file.commit();
}

QByteArray RecordWriter::Record(const QJsonObject &joHeader, const QString &sTitle,
                                const QJsonArray &jaItems, const QList<QJsonArray> &lstFrames)
{
    RecordWriter writer;
    writer.AppendObject(joHeader);
    writer.AppendObject(QJsonObject{{"DATA", QJsonObject{{"TT", sTitle}, {"IS", jaItems}}}});
    for (const QJsonArray &jaFrame : lstFrames)
        writer.AppendArray(jaFrame);
    return writer.Data();
}
