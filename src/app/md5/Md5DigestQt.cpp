// Md5Digest on Qt's MD5: builds without OpenSSL (the Windows cross build).
#include "app/Md5Digest.h"

#include <QCryptographicHash>
#include <algorithm>

struct Md5Digest::State {
    QCryptographicHash hash{QCryptographicHash::Md5};
};

Md5Digest::Md5Digest() : pState(std::make_unique<State>()) {}

Md5Digest::~Md5Digest() = default;

void Md5Digest::AddData(const char *pData, qint64 nLength)
{
    // QCryptographicHash takes an int length.
    constexpr qint64 kMaxPiece = 1 << 30;
    while (nLength > 0) {
        const qint64 nPiece = std::min(nLength, kMaxPiece);
        pState->hash.addData(pData, int(nPiece));
        pData += nPiece;
        nLength -= nPiece;
    }
}

QByteArray Md5Digest::Result() const
{
    return pState->hash.result(); // finishes a copy: the stream goes on
}

void Md5Digest::Reset()
{
    pState->hash.reset();
}

const char *Md5Digest::Implementation() const
{
    return "Qt";
}
