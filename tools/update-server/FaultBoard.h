#pragma once
// Faults that the server plays on purpose so that clients can be tested
// against a misbehaving server. Set from the command line or, while running,
// by POST /control/fault.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>
#include <vector>

struct Fault {
    QStringList slOn;      // request kinds: login, register, catalogue, downloadlist, files, all
    QString sMatch;        // only requests whose path contains this text (empty = any)
    int nStatus = 0;       // answer with this HTTP status (body "update-server: status N\n")
    bool bEmpty = false;   // status 200 with an empty body
    bool bNotJson = false; // a body that decodes to text that is not JSON
    std::optional<QString> sBody; // a body that decodes to this text
    QString sCode;                // replace "code" of the reply
    std::optional<QString> sMsg;  // replace "msg" of the reply
    int nDelayMs = 0;             // wait before answering
    bool bReset = false;          // send part of the body, then reset the connection
    int nTrickleMs = 0;           // send the body one byte per this many milliseconds
    std::optional<QString> sRoot; // replace "root" of catalogue and download-list replies
    int nBombMiB = 0;             // compressed replies: a stream that unpacks to this many MiB more
    int nTimes = 0;               // play it this many times, then forget it (0 = for ever)
    // With nStatus: the command's reply goes with that status instead of the status text.
    bool bWithReply = false;
    // Files: the connection is reset once the body has reached this fraction
    // of the file (0 = never), after everything before it has left.
    double dCut = 0;
    bool bNoRange = false; // files: a Range request gets the whole file (200)
    bool bIgnoreIfRange =
        false;              // files: a Range is honoured even when If-Range names another version
    qint64 nRangeShift = 0; // files: a range answer starts this many bytes later than asked
    // With nRangeShift: the Content-Range still names the range asked for
    // (the bytes are wrong), instead of the one sent.
    bool bRangeLie = false;

    static std::optional<Fault> FromJson(const QJsonObject &joFault, QString *pError);
    QJsonObject ToJson() const;
    bool Applies(const QString &sKind, const QString &sPath) const;
};

class FaultBoard
{
public:
    void Replace(std::vector<Fault> faults);
    // The first fault that applies to this request; counts one use of it.
    std::optional<Fault> Take(const QString &sKind, const QString &sPath);
    QJsonArray ToJson() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Fault> m_faults;
};
