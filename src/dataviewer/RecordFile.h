#pragma once
// Reader of the diagnostic record files the device saves under "SaveData".
//
// A record file is a sequence of chunks, each a 4-byte big-endian length and
// that many bytes of JSON text. Chunk 0 is the header object, chunk 1 the
// content object ("DATA" with "TT" and "IS"), chunks 2.. are the frames of a
// data stream (one array per frame). The device writes 4 unread bytes after
// chunk 1 and 2 after every frame.
//
// The data list and the report turn payload bytes into text differently (the
// device writes a bare 0xB0 byte for the degree sign), so each has its own
// decoding function here.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

// What reading one record may cost. A data stream of millions of frames would
// otherwise take gigabytes and minutes; the device's own recordings stay far
// below both bounds.
struct RecordLimits {
    qint64 nMaxBytes = qint64(64) * 1024 * 1024; // read from the file
    int nMaxFrames = 100000;                     // kept: over a day of replay at one frame a second
};

// Told the offset (in the file) the reading has reached; false stops it.
using RecordProgressFn = std::function<bool(qint64 nOffset)>;

enum class RecordReadStatus {
    Read,       // the record was read (perhaps cut by a bound: see bCut)
    Unreadable, // missing, not a regular file, or a read failed
    Empty,      // no content chunk: a 0-byte or header-only file, or nothing but holes
    Stopped     // the progress function stopped it
};

// What the data list needs from a data-stream record.
struct DataStreamRecord {
    bool bHasContent = false; // chunk 1 was read (the content is replaced only then)
    QJsonObject joContent;    // chunk 1
    QList<QJsonArray> lstFrames;
    bool bStopped = false;  // the progress function stopped the reading
    bool bCut = false;      // a bound of RecordLimits left the rest of the file unread
    qint64 nBytesTaken = 0; // where the reading stopped when cut
    qint64 nFileSize = 0;
};

// What the report needs from a record of the other four kinds.
struct ReportRecord {
    bool bHasHeader = false;
    QJsonObject joHeader; // chunk 0
    bool bHasContent = false;
    QString sTitle;     // "DATA"/"TT"
    QJsonArray jaItems; // "DATA"/"IS"
};

class RecordFile
{
public:
    // Payloads of the chunks in file order, at most nMaxChunks of them (-1: all).
    // Nothing is ever read outside baData. An empty chunk (the zeros an
    // interrupted write leaves) is not a chunk: the walk goes on at the next
    // place where one starts, as it does after a length that runs past the end.
    static QList<QByteArray> SplitChunks(const QByteArray &baData, int nMaxChunks = -1);

    // The data list's rule: a byte 0xB0 that is not part of a UTF-8 sequence
    // is the device's degree sign; the rest is UTF-8.
    static QString DataListText(const QByteArray &baPayload);

    // The report's rule: the bytes B0 43 ("°C" as the device writes it) become
    // the Celsius sign; the rest is GBK.
    static QString ReportText(const QByteArray &baPayload);

    // Reads a data-stream record within the limits; record is replaced unless
    // the result is Unreadable or Stopped. fnProgress is called now and then
    // (on the caller's thread) with the offset reached.
    static RecordReadStatus ReadDataStream(const QString &sPath, DataStreamRecord &record,
                                           const RecordLimits &limits = RecordLimits(),
                                           const RecordProgressFn &fnProgress = RecordProgressFn());

    // Reads the header and content of a record; record is replaced unless the
    // result is Unreadable. Only the bytes of those two chunks are read.
    static RecordReadStatus ReadReport(const QString &sPath, ReportRecord &record,
                                       const RecordLimits &limits = RecordLimits());

    // Parse the chunks of bytes already read (the first bytes of a file).
    static DataStreamRecord
    ParseDataStream(const QByteArray &baData, const RecordLimits &limits = RecordLimits(),
                    const RecordProgressFn &fnProgress = RecordProgressFn());
    static ReportRecord ParseReport(const QByteArray &baData);

private:
    static DataStreamRecord ParseStream(const QByteArray &baData, const RecordLimits &limits,
                                        const RecordProgressFn &fnProgress, bool *pRanOut);
    static ReportRecord ParseHead(const QByteArray &baData, bool *pRanOut);
};
