#include "platform/PasswordCodePage.h"

#include <QByteArray>
#include <QDebug>
#include <QString>
#include <QTextCodec>

std::string PasswordCodePageBytes(const std::string &sUtf8)
{
    const QString sText = QString::fromStdString(sUtf8);
    QTextCodec *pCodec = QTextCodec::codecForName("GBK");
    if (pCodec == nullptr) {
        // Qt without its Chinese codecs: ASCII passwords still hash right.
        qDebug() << "password: no GBK codec, hashing the local encoding";
        return sText.toLocal8Bit().toStdString();
    }
    return pCodec->fromUnicode(sText).toStdString();
}
