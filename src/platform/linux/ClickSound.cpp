#include "platform/ClickSound.h"

#include <QSoundEffect>
#include <QUrl>

struct ClickSound::Impl {
    QString sResource;
    QObject *pOwner = nullptr;
    QSoundEffect *pEffect = nullptr; // child of pOwner
};

ClickSound::ClickSound(const QString &sResource, QObject *pOwner) : pImpl(std::make_unique<Impl>())
{
    pImpl->sResource = sResource;
    pImpl->pOwner = pOwner;
}

ClickSound::~ClickSound() = default;

void ClickSound::Play()
{
    if (pImpl->pEffect == nullptr) {
        pImpl->pEffect = new QSoundEffect(pImpl->pOwner);
        pImpl->pEffect->setSource(QUrl(QStringLiteral("qrc") + pImpl->sResource));
    }
    pImpl->pEffect->play();
}
