#pragma once
// Variants of the replies that a real server may send and the assistant must
// take: other "Size" values, digests in upper case, other spellings of "dir"
// and "Path", members it does not know, and other HTTP framings. Unlike a
// fault, a mode is no misbehaviour: with any set of modes a download must
// end as with none. Set with --mode or, while the server runs, with
// POST /control/modes; they apply to every request until replaced.

#include <QString>
#include <QStringList>
#include <mutex>

class ServerModes
{
public:
    enum Mode : unsigned {
        StaleSize = 1u << 0,        // "Size" a quarter of the file's size (the file grew since)
        ZeroSize = 1u << 1,         // "Size" 0
        NoSize = 1u << 2,           // no "Size" member
        TextSize = 1u << 3,         // "Size" as a JSON string
        BigSize = 1u << 4,          // "Size" four times the file's size
        UpperHash = 1u << 5,        // "Hash" in upper-case hexadecimal
        FilesReversed = 1u << 6,    // "files" in reverse order
        DirParent = 1u << 7,        // 1043: "dir" below another parent folder
        DirSlash = 1u << 8,         // 1043: "dir" with a trailing "/"
        LeadingSlash = 1u << 9,     // "dir" and "Path" begin with "/"
        BackslashPath = 1u << 10,   // "Path" with "\" separators
        ListCode = 1u << 11,        // 1043: "code" other than "000000"
        ExtraMembers = 1u << 12,    // members the assistant does not know, everywhere
        BranchMandatory = 1u << 13, // mandatory packages carry a "branch"
        Chunked = 1u << 14,         // command replies and files with Transfer-Encoding: chunked
        Http10 = 1u << 15           // command replies and files as HTTP/1.0, ended by closing
    };
    using Set = unsigned;

    struct Info {
        Mode mode;
        const char *pName;
        const char *pWhat;
    };
    static const QList<Info> &All();

    // The modes named in slNames (comma-separated texts allowed); false with
    // *pError naming the first unknown one.
    static bool Parse(const QStringList &slNames, Set *pSet, QString *pError);
    static QStringList Names(Set set);
    // "name: what it does" lines, for --help.
    static QString Help();

    void Replace(Set set);
    Set Current() const;

private:
    mutable std::mutex m_mutex;
    Set m_set = 0;
};
