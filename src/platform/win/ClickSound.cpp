// The sound is handed to the system's player (winmm) straight from memory.
#include "platform/ClickSound.h"

#include <QFile>

#include <windows.h>

#include <mmsystem.h>

struct ClickSound::Impl {
    QString sResource;
    bool bLoaded = false;
    QByteArray baWave; // must outlive the playing: the player reads it asynchronously
};

ClickSound::ClickSound(const QString &sResource, QObject * /*pOwner*/)
    : pImpl(std::make_unique<Impl>())
{
    pImpl->sResource = sResource;
}

ClickSound::~ClickSound()
{
    // Stops a sound still reading from the buffer that is about to go.
    if (!pImpl->baWave.isEmpty())
        PlaySoundW(nullptr, nullptr, 0);
}

void ClickSound::Play()
{
    if (!pImpl->bLoaded) {
        pImpl->bLoaded = true;
        QFile file(pImpl->sResource);
        if (file.open(QIODevice::ReadOnly))
            pImpl->baWave = file.readAll();
    }
    if (pImpl->baWave.isEmpty())
        return;
    PlaySoundW(reinterpret_cast<LPCWSTR>(pImpl->baWave.constData()), nullptr,
               SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}
