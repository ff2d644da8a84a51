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

// What the data list needs from a data-stream record.
struct DataStreamRecord {
    bool bHasContent = false; // chunk 1 was read (the content is replaced only then)
    QJsonObject joContent;    // chunk 1
    QList<QJsonArray> lstFrames;
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
    // A chunk whose payload would end past the end of the data ends the walk;
    // nothing is ever read outside baData. An empty chunk (no device writes
    // one; a file of zeros is nothing but) ends it too and sets *pEmptyChunk.
    static QList<QByteArray> SplitChunks(const QByteArray &baData, int nMaxChunks = -1,
                                         bool *pEmptyChunk = nullptr);

    // The data list's rule: a byte 0xB0 that is not part of a UTF-8 sequence
    // is the device's degree sign; the rest is UTF-8.
    static QString DataListText(const QByteArray &baPayload);

    // The report's rule: the bytes B0 43 ("°C" as the device writes it) become
    // the Celsius sign; the rest is GBK.
    static QString ReportText(const QByteArray &baPayload);

    // Reads a data-stream record. False (record untouched) when the file cannot be
    // read: missing, not a regular file, longer than 256 MiB, or holding an empty
    // chunk where the walk reaches it.
    static bool ReadDataStream(const QString &sPath, DataStreamRecord &record);

    // Reads the header and content of a record. False as for ReadDataStream.
    static bool ReadReport(const QString &sPath, ReportRecord &record);

    // Parse the chunks of an already-read file (used by the two functions above);
    // *pReadable is false when the walk met an empty chunk.
    static DataStreamRecord ParseDataStream(const QByteArray &baData, bool *pReadable = nullptr);
    static ReportRecord ParseReport(const QByteArray &baData, bool *pReadable = nullptr);

private:
    static bool ReadWhole(const QString &sPath, QByteArray &baData);
};
