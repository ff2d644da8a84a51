#include "accounts/SignInWatch.h"

#include <QCoreApplication>

SignInWatch *SignInWatch::Instance()
{
    static SignInWatch *const pWatch = [] {
        auto *pNew = new SignInWatch;
        // Whichever thread asks first (the silent login's may end soon), the
        // watch belongs to the program's main thread.
        if (QCoreApplication *pApp = QCoreApplication::instance())
            pNew->moveToThread(pApp->thread());
        return pNew;
    }();
    return pWatch;
}
