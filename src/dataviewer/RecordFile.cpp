#include "dataviewer/RecordFile.h"

#include "base/Json.h"
#include "device/DeviceDiskFile.h"

#include <QDebug>
#include <QFileInfo>
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

constexpr qint64 kFirstRead = 256 * 1024; // bytes of the first attempt; then four times more
constexpr int kProgressEvery = 2048;      // chunks between two progress reports
constexpr int kContentLogBytes = 2048;    // of the content's text in the debug log

qint64 LengthAt(const QByteArray &baData, qint64 nOffset)
{
    const uchar *p = reinterpret_cast<const uchar *>(baData.constData() + nOffset);
    return qint64((quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) |
                  quint32(p[3]));
}

bool IsJsonBlank(uchar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Whether a chunk as the device writes them starts at nOffset: a length that ends within the
// data and a payload that is a JSON array or object from its first byte to its last, without
// the control bytes that JSON text never holds (a length field always starts with one).
bool LooksLikeChunk(const QByteArray &baData, qint64 nOffset)
{
    const qint64 nSize = baData.size();
    if (nOffset + 4 > nSize)
        return false;
    const qint64 nLength = LengthAt(baData, nOffset);
    const qint64 nPayload = nOffset + 4;
    if (nLength < 2 || nPayload + nLength > nSize)
        return false;
    const uchar *p = reinterpret_cast<const uchar *>(baData.constData() + nPayload);
    qint64 nFirst = 0;
    qint64 nLast = nLength - 1;
    while (nFirst < nLast && IsJsonBlank(p[nFirst]))
        ++nFirst;
    while (nLast > nFirst && IsJsonBlank(p[nLast]))
        --nLast;
    const bool bArray = p[nFirst] == '[' && p[nLast] == ']';
    const bool bObject = p[nFirst] == '{' && p[nLast] == '}';
    if (nFirst >= nLast || !(bArray || bObject))
        return false;
    // Stops at the first control byte: each scan then costs no more than the distance to the
    // next length field, and a whole search stays linear in the data.
    for (qint64 i = nFirst; i <= nLast; ++i) {
        if (p[i] < 0x20 && !IsJsonBlank(p[i]))
            return false;
    }
    return true;
}

// The first offset from nFrom on where a chunk plausibly starts; -1 when there is none.
qint64 FindChunkStart(const QByteArray &baData, qint64 nFrom)
{
    for (qint64 n = nFrom; n + 6 <= baData.size(); ++n) {
        if (LooksLikeChunk(baData, n))
            return n;
    }
    return -1;
}

using ChunkFn = std::function<bool(int nChunk, qint64 nOffset, const QByteArray &baPayload)>;

// Hands the payloads of the chunks in file order to onChunk, at most nMaxChunks of them (-1:
// all); onChunk returns false to stop the walk. Nothing is read outside baData, and the
// payloads share its memory, so a file of millions of chunks costs no copy of each.
//
// A length of 0 (an interrupted write on a FAT disk leaves zeros behind the last whole
// frame) or one that runs past the end no longer tells where the next chunk is: the walk
// then looks for the next place where a whole chunk starts, so that a hole costs only what
// it covers. At the end of a cut-off file there is none, and the walk ends there.
// True when the walk ran to the end of the data (not stopped, not at nMaxChunks).
bool WalkChunks(const QByteArray &baData, int nMaxChunks, const ChunkFn &onChunk)
{
    const qint64 nSize = baData.size();
    qint64 nOffset = 0;
    int nChunk = 0;
    while (nMaxChunks < 0 || nChunk < nMaxChunks) {
        if (nOffset + 4 > nSize)
            return true;
        const qint64 nLength = LengthAt(baData, nOffset);
        const qint64 nPayload = nOffset + 4;
        if (nLength == 0 || nPayload + nLength > nSize) {
            const qint64 nNext = FindChunkStart(baData, nOffset + 1);
            if (nNext < 0)
                return true;
            nOffset = nNext;
            ++nChunk;
            continue;
        }
        if (!onChunk(nChunk, nOffset,
                     QByteArray::fromRawData(baData.constData() + nPayload, int(nLength))))
            return false;
        nOffset = nPayload + nLength + GapAfterChunk(nChunk);
        ++nChunk;
    }
    return false;
}

// Parses ever longer beginnings of the file, up to nMaxBytes, until fnParse no longer runs
// out of bytes: a record is read only as far as its reader needs it. fnParse returns true
// when it ran out of bytes. *pCut: the byte bound left some of the file unread.
RecordReadStatus ReadGrowing(const QString &sPath, qint64 nMaxBytes,
                             const std::function<bool(const QByteArray &)> &fnParse, bool *pCut)
{
    *pCut = false;
    qint64 nWant = kFirstRead;
    for (;;) {
        const qint64 nAsk = qMax<qint64>(0, qMin(nWant, nMaxBytes));
        QByteArray baData;
        // One byte more tells whether the file goes on.
        if (!DeviceDiskFile::ReadHead(sPath, nAsk + 1, &baData))
            return RecordReadStatus::Unreadable;
        const bool bLonger = baData.size() > nAsk;
        if (bLonger)
            baData.truncate(int(nAsk));
        const bool bRanOut = fnParse(baData);
        if (!bRanOut || !bLonger)
            return RecordReadStatus::Read;
        if (nAsk >= nMaxBytes) {
            *pCut = true;
            return RecordReadStatus::Read;
        }
        nWant *= 4;
    }
}

} // namespace

QList<QByteArray> RecordFile::SplitChunks(const QByteArray &baData, int nMaxChunks)
{
    QList<QByteArray> lstChunks;
    WalkChunks(baData, nMaxChunks, [&lstChunks](int, qint64, const QByteArray &baPayload) {
        lstChunks.append(QByteArray(baPayload.constData(), baPayload.size()));
        return true;
    });
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

DataStreamRecord RecordFile::ParseStream(const QByteArray &baData, const RecordLimits &limits,
                                         const RecordProgressFn &fnProgress, bool *pRanOut)
{
    DataStreamRecord record;
    int nSinceReport = 0;
    *pRanOut = WalkChunks(baData, -1, [&](int nChunk, qint64 nOffset, const QByteArray &baPayload) {
        if (fnProgress && ++nSinceReport >= kProgressEvery) {
            nSinceReport = 0;
            if (!fnProgress(nOffset)) {
                record.bStopped = true;
                return false;
            }
        }
        if (nChunk == 0)
            return true;
        const QByteArray baText = DataListText(baPayload).toUtf8();
        bool bOk = false;
        if (nChunk == 1) {
            record.joContent = ParseJsonObject(baText, &bOk);
            record.bHasContent = true;
            qDebug() << baText.left(kContentLogBytes) << bOk;
            return true;
        }
        // Only a frame that is there is left out.
        if (record.lstFrames.size() >= limits.nMaxFrames) {
            record.bCut = true;
            record.nBytesTaken = nOffset;
            return false;
        }
        const QJsonArray jaFrame = ParseJsonArray(baText, &bOk);
        if (bOk)
            record.lstFrames.append(jaFrame);
        return true;
    });
    return record;
}

DataStreamRecord RecordFile::ParseDataStream(const QByteArray &baData, const RecordLimits &limits,
                                             const RecordProgressFn &fnProgress)
{
    bool bRanOut = false;
    DataStreamRecord record = ParseStream(baData, limits, fnProgress, &bRanOut);
    record.nFileSize = baData.size();
    return record;
}

ReportRecord RecordFile::ParseHead(const QByteArray &baData, bool *pRanOut)
{
    ReportRecord record;
    *pRanOut = WalkChunks(baData, 2, [&record](int nChunk, qint64, const QByteArray &baPayload) {
        if (nChunk == 0) {
            record.joHeader = ParseJsonObject(ReportText(baPayload).toUtf8());
            record.bHasHeader = true;
            return true;
        }
        const QJsonObject joData =
            ParseJsonObject(ReportText(baPayload).toUtf8()).value("DATA").toObject();
        record.sTitle = joData.value("TT").toString();
        record.jaItems = joData.value("IS").toArray();
        record.bHasContent = true;
        return true;
    });
    return record;
}

ReportRecord RecordFile::ParseReport(const QByteArray &baData)
{
    bool bRanOut = false;
    return ParseHead(baData, &bRanOut);
}

RecordReadStatus RecordFile::ReadDataStream(const QString &sPath, DataStreamRecord &record,
                                            const RecordLimits &limits,
                                            const RecordProgressFn &fnProgress)
{
    DataStreamRecord read;
    bool bCut = false;
    const RecordReadStatus status = ReadGrowing(
        sPath, limits.nMaxBytes,
        [&](const QByteArray &baData) {
            bool bRanOut = false;
            read = ParseStream(baData, limits, fnProgress, &bRanOut);
            read.nBytesTaken = read.bCut ? read.nBytesTaken : baData.size();
            return bRanOut;
        },
        &bCut);
    if (status != RecordReadStatus::Read)
        return status;
    if (read.bStopped)
        return RecordReadStatus::Stopped;
    read.nFileSize = qMax(QFileInfo(sPath).size(), read.nBytesTaken);
    if (bCut) {
        read.bCut = true;
        read.nFileSize = qMax(read.nFileSize, read.nBytesTaken + 1);
    }
    if (read.bCut)
        qDebug() << "record read up to byte" << read.nBytesTaken << "of" << read.nFileSize << ","
                 << read.lstFrames.size() << "frames:" << sPath;
    record = std::move(read);
    return record.bHasContent ? RecordReadStatus::Read : RecordReadStatus::Empty;
}

RecordReadStatus RecordFile::ReadReport(const QString &sPath, ReportRecord &record,
                                        const RecordLimits &limits)
{
    ReportRecord read;
    bool bCut = false;
    const RecordReadStatus status = ReadGrowing(
        sPath, limits.nMaxBytes,
        [&](const QByteArray &baData) {
            bool bRanOut = false;
            read = ParseHead(baData, &bRanOut);
            return bRanOut;
        },
        &bCut);
    if (status != RecordReadStatus::Read)
        return status;
    if (bCut)
        qDebug() << "record content longer than" << limits.nMaxBytes << "bytes, not read:" << sPath;
    record = std::move(read);
    return record.bHasContent ? RecordReadStatus::Read : RecordReadStatus::Empty;
}
