#pragma once
// MD5 of data added in pieces, computed by the fastest implementation the
// build has: libcrypto's assembler MD5 where OpenSSL was found at build time
// (falling back to Qt's when libcrypto refuses MD5, e.g. when configured for
// approved algorithms only), Qt's otherwise. One object is one stream and
// belongs to one thread at a time.

#include <QByteArray>
#include <memory>

class Md5Digest
{
public:
    Md5Digest();
    ~Md5Digest();
    Md5Digest(const Md5Digest &) = delete;
    Md5Digest &operator=(const Md5Digest &) = delete;

    void AddData(const char *pData, qint64 nLength);
    // The digest (16 bytes) of everything added so far. The stream goes on:
    // data added afterwards extends it.
    QByteArray Result() const;
    // Starts a new, empty stream.
    void Reset();
    // Which implementation this object uses ("libcrypto" or "Qt"), for
    // benchmarks and tests.
    const char *Implementation() const;

private:
    struct State;
    std::unique_ptr<State> pState;
};
