#include "dataviewer/RecordFile.h"

#include "base/Json.h"
#include "device/DeviceDiskFile.h"

#include <QDebug>
#include <QTextCodec>

#include <functional>
#include <utility>

namespace
{

// Unread bytes the device writes after a chunk, by chunk number.
int GapAfterChunk(int nChunk)
{
    if (nChunk == 0)
        return 0;
    if (nChunk == 1)
        return 4;
    return 2;
}

bool IsContinuation(const QByteArray &ba, int i, uchar lo = 0x80, uchar hi = 0xBF)
{
    if (i >= ba.size())
        return false;
    const uchar c = static_cast<uchar>(ba.at(i));
    return c >= lo && c <= hi;
}

// Length of the well-formed UTF-8 sequence starting at i, 0 when there is none.
int Utf8SequenceLength(const QByteArray &ba, int i)
{
    const uchar c = static_cast<uchar>(ba.at(i));
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return IsContinuation(ba, i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const uchar lo = c == 0xE0 ? 0xA0 : 0x80;
        const uchar hi = c == 0xED ? 0x9F : 0xBF;
        return IsContinuation(ba, i + 1, lo, hi) && IsContinuation(ba, i + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const uchar lo = c == 0xF0 ? 0x90 : 0x80;
        const uchar hi = c == 0xF4 ? 0x8F : 0xBF;
        return IsContinuation(ba, i + 1, lo, hi) && IsContinuation(ba, i + 2) &&
                       IsContinuation(ba, i + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

QTextCodec *GbkCodec()
{
    // Named explicitly so that the report reads the device's files the same
    // way whatever the local code page is.
    static QTextCodec *const pCodec = [] {
        QTextCodec *p = QTextCodec::codecForName("GBK");
        return p ? p : QTextCodec::codecForName("GB18030");
    }();
    return pCodec;
}

// Hands the payloads of the chunks in file order to onChunk, at most nMaxChunks of them (-1:
// all). A chunk whose payload would end past the end of the data ends the walk, and so does an
// empty chunk, which no device writes: then the result is false. The payloads handed out share
// baData's memory, so a file of millions of chunks costs no copy of each.
bool WalkChunks(const QByteArray &baData, int nMaxChunks,
                const std::function<void(int, const QByteArray &)> &onChunk)
{
    const qint64 nSize = baData.size();
    qint64 nOffset = 0;
    for (int nChunk = 0; nMaxChunks < 0 || nChunk < nMaxChunks; ++nChunk) {
        if (nOffset + 4 > nSize)
            break;
        const uchar *p = reinterpret_cast<const uchar *>(baData.constData() + nOffset);
        const quint32 nLength =
            (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
        const qint64 nPayload = nOffset + 4;
        if (nPayload + qint64(nLength) > nSize)
            break;
        if (nLength == 0)
            return false;
        onChunk(nChunk, QByteArray::fromRawData(baData.constData() + nPayload, int(nLength)));
        nOffset = nPayload + qint64(nLength) + GapAfterChunk(nChunk);
    }
    return true;
}

} // namespace

QList<QByteArray> RecordFile::SplitChunks(const QByteArray &baData, int nMaxChunks,
                                          bool *pEmptyChunk)
{
    QList<QByteArray> lstChunks;
    const bool bWhole =
        WalkChunks(baData, nMaxChunks, [&lstChunks](int, const QByteArray &baPayload) {
            lstChunks.append(QByteArray(baPayload.constData(), baPayload.size()));
        });
    if (pEmptyChunk != nullptr)
        *pEmptyChunk = !bWhole;
    return lstChunks;
}

QString RecordFile::DataListText(const QByteArray &baPayload)
{
    // Only a stray 0xB0 is the degree sign: one inside a well-formed UTF-8
    // character (as in "°" itself or in many Chinese characters) stays as it is.
    QByteArray baUtf8;
    baUtf8.reserve(baPayload.size() + 8);
    for (int i = 0; i < baPayload.size();) {
        const int nLength = Utf8SequenceLength(baPayload, i);
        if (nLength > 0) {
            baUtf8.append(baPayload.constData() + i, nLength);
            i += nLength;
            continue;
        }
        if (static_cast<uchar>(baPayload.at(i)) == 0xB0)
            baUtf8.append("\xC2\xB0", 2);
        else
            baUtf8.append(baPayload.at(i));
        ++i;
    }
    return QString::fromUtf8(baUtf8);
}

QString RecordFile::ReportText(const QByteArray &baPayload)
{
    QByteArray baGbk = baPayload;
    baGbk.replace(QByteArray("\xB0\x43", 2), QByteArray("\xA1\xE6", 2));
    // A 0xB0 that cannot start a GBK character (as in a bare "°" unit) would
    // otherwise print as a replacement mark: it is the degree sign, A1 E3 in GBK.
    QByteArray baText;
    baText.reserve(baGbk.size() + 8);
    for (int i = 0; i < baGbk.size(); ++i) {
        const uchar c = static_cast<uchar>(baGbk.at(i));
        const bool bLead = c >= 0x81 && c <= 0xFE;
        const uchar cNext = i + 1 < baGbk.size() ? static_cast<uchar>(baGbk.at(i + 1)) : 0;
        const bool bTrail = cNext >= 0x40 && cNext <= 0xFE && cNext != 0x7F;
        if (bLead && bTrail) {
            baText.append(baGbk.constData() + i, 2);
            ++i;
        } else if (c == 0xB0) {
            baText.append("\xA1\xE3", 2);
        } else {
            baText.append(char(c));
        }
    }
    return GbkCodec()->toUnicode(baText);
}

bool RecordFile::ReadWhole(const QString &sPath, QByteArray &baData)
{
    return DeviceDiskFile::ReadAll(sPath, DeviceDiskFile::RecordFileLimit, &baData);
}

DataStreamRecord RecordFile::ParseDataStream(const QByteArray &baData, bool *pReadable)
{
    DataStreamRecord record;
    const bool bReadable =
        WalkChunks(baData, -1, [&record](int nChunk, const QByteArray &baPayload) {
            if (nChunk == 0)
                return;
            const QByteArray baText = DataListText(baPayload).toUtf8();
            bool bOk = false;
            if (nChunk == 1) {
                record.joContent = ParseJsonObject(baText, &bOk);
                record.bHasContent = true;
                qDebug() << baText << bOk;
                return;
            }
            const QJsonArray jaFrame = ParseJsonArray(baText, &bOk);
            if (bOk)
                record.lstFrames.append(jaFrame);
        });
    if (pReadable != nullptr)
        *pReadable = bReadable;
    return record;
}

ReportRecord RecordFile::ParseReport(const QByteArray &baData, bool *pReadable)
{
    ReportRecord record;
    const bool bReadable =
        WalkChunks(baData, 2, [&record](int nChunk, const QByteArray &baPayload) {
            if (nChunk == 0) {
                record.joHeader = ParseJsonObject(ReportText(baPayload).toUtf8());
                record.bHasHeader = true;
                return;
            }
            const QJsonObject joData =
                ParseJsonObject(ReportText(baPayload).toUtf8()).value("DATA").toObject();
            record.sTitle = joData.value("TT").toString();
            record.jaItems = joData.value("IS").toArray();
            record.bHasContent = true;
        });
    if (pReadable != nullptr)
        *pReadable = bReadable;
    return record;
}

bool RecordFile::ReadDataStream(const QString &sPath, DataStreamRecord &record)
{
    QByteArray baData;
    if (!ReadWhole(sPath, baData))
        return false;
    bool bReadable = false;
    DataStreamRecord read = ParseDataStream(baData, &bReadable);
    if (!bReadable) {
        qDebug() << "record with an empty chunk, not read:" << sPath;
        return false;
    }
    record = std::move(read);
    return true;
}

bool RecordFile::ReadReport(const QString &sPath, ReportRecord &record)
{
    QByteArray baData;
    if (!ReadWhole(sPath, baData))
        return false;
    bool bReadable = false;
    ReportRecord read = ParseReport(baData, &bReadable);
    if (!bReadable) {
        qDebug() << "record with an empty chunk, not read:" << sPath;
        return false;
    }
    record = std::move(read);
    return true;
}
