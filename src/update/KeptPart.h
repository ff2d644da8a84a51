#pragma once
// What stays of a large file whose transfer broke off, so that a later try
// asks the server only for the rest: the bytes received so far, beside the
// target as "<target>.resume-data.uapart", and a side record
// "<target>.resume-info.uapart" (JSON) that says what they are part of: the
// URL, the whole file's digest and size, how many bytes were kept and their
// digest, and the server's validators (ETag, Last-Modified) of that version.
//
// Both names end in the downloader's temporary suffix, so whatever passes
// over the files being received passes over these too; a hyphen keeps them
// apart from the transfers' own names. A record comes from the device disk
// and is taken only when every member is well-formed; the downloader then
// checks the kept bytes against it before it asks for the rest, and the
// whole file against the manifest's digest in the end, so a damaged or
// forged record costs a transfer, never a wrong file.

#include <QDateTime>
#include <QString>
#include <optional>

class QFileInfo;

class KeptPart
{
public:
    struct Record {
        QString sUrl;
        QString sMd5;     // the whole file's digest, 32 lower-case hex digits
        qint64 nSize = 0; // the whole file's length, as the server gave it
        qint64 nKept = 0; // bytes kept
        QString sKeptMd5; // their digest
        QString sETag;    // the server's validators of that version (may be empty)
        QString sLastModified;
    };

    // Only this much received is worth a record and a range request; less
    // is fetched whole as ever.
    static constexpr qint64 MinBytes = 1024 * 1024;
    // Kept parts older than this are removed.
    static constexpr qint64 MaxAgeSeconds = 7 * 24 * 3600;

    // Whether a file of the manifest may leave a kept part: one with a digest
    // that can check the joined file. Its manifest size does not count (the
    // server may give it wrong); what arrives must reach MinBytes.
    static bool IsResumable(const QString &sMd5);

    static QString DataPath(const QString &sTarget);
    static QString RecordPath(const QString &sTarget);
    // The target's file name when sName is one of the two names, else empty.
    static QString TargetNameOf(const QString &sName);

    // The record beside sTarget, when it is there and well-formed.
    static std::optional<Record> Read(const QString &sTarget);
    // Writes the record beside sTarget, replacing an earlier one; false when
    // it could not be written whole.
    static bool Write(const QString &sTarget, const Record &record);
    // Removes both files of sTarget's kept part (links themselves, never
    // what they point to).
    static void Remove(const QString &sTarget);

    // A validator fit to go back to the server in a header: printable ASCII,
    // not too long. Anything else is dropped (empty).
    static QString CleanValidator(const QByteArray &baValue);

    // Removes the kept-part file described by info when it is older than
    // MaxAgeSeconds (or dated more than that into the future) or is a link;
    // true when it went.
    static bool RemoveIfExpired(const QFileInfo &info,
                                const QDateTime &now = QDateTime::currentDateTimeUtc());
};
