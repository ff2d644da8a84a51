#include "ServerModes.h"

const QList<ServerModes::Info> &ServerModes::All()
{
    static const QList<Info> modes = {
        {StaleSize, "stale-size", "\"Size\" a quarter of the file's size, as if the file grew"},
        {ZeroSize, "zero-size", "\"Size\" 0"},
        {NoSize, "no-size", "no \"Size\" member"},
        {TextSize, "text-size", "\"Size\" as a JSON string"},
        {BigSize, "big-size", "\"Size\" four times the file's size"},
        {UpperHash, "upper-hash", "\"Hash\" in upper-case hexadecimal"},
        {FilesReversed, "files-reversed", "\"files\" in reverse order"},
        {DirParent, "dir-parent",
         "1043: \"dir\" below another parent folder (\"Elsewhere/<last>\")"},
        {DirSlash, "dir-slash", "1043: \"dir\" with a trailing \"/\""},
        {LeadingSlash, "leading-slash", "\"dir\" (1042, 1043) and \"Path\" begin with \"/\""},
        {BackslashPath, "backslash-path", "\"Path\" with \"\\\" separators (served so)"},
        {ListCode, "list-code",
         "1043: \"code\" \"999999\" (the download list is judged by its list)"},
        {ExtraMembers, "extra-members",
         "unknown members in every command reply, package object and file entry"},
        {BranchMandatory, "branch-mandatory", "mandatory packages carry the branch \"main\""},
        {Chunked, "chunked", "command replies and files with Transfer-Encoding: chunked"},
        {Http10, "http10", "command replies and files as HTTP/1.0 without length, ended by close"},
    };
    return modes;
}

bool ServerModes::Parse(const QStringList &slNames, Set *pSet, QString *pError)
{
    Set set = 0;
    for (const QString &sText : slNames) {
        for (const QString &sPart : sText.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString sName = sPart.trimmed().toLower();
            bool bKnown = false;
            for (const Info &info : All()) {
                if (sName == QLatin1String(info.pName)) {
                    set |= info.mode;
                    bKnown = true;
                }
            }
            if (!bKnown) {
                *pError = QStringLiteral("unknown mode \"%1\"").arg(sName);
                return false;
            }
        }
    }
    *pSet = set;
    return true;
}

QStringList ServerModes::Names(Set set)
{
    QStringList slNames;
    for (const Info &info : All()) {
        if (set & info.mode)
            slNames << QLatin1String(info.pName);
    }
    return slNames;
}

QString ServerModes::Help()
{
    QStringList slLines;
    for (const Info &info : All())
        slLines << QStringLiteral("  %1  %2")
                       .arg(QLatin1String(info.pName), -16)
                       .arg(QString::fromLatin1(info.pWhat));
    return slLines.join(QLatin1Char('\n'));
}

void ServerModes::Replace(Set set)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = set;
}

ServerModes::Set ServerModes::Current() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}
