#pragma once
// Tells that someone signed in or out, whichever way: the login window, the
// silent login from "./User.bin", signing out. Receivers on another thread than
// the one that changed the login get the signal queued.

#include <QObject>

class SignInWatch : public QObject
{
    Q_OBJECT
public:
    // The one watch of the process; it lives until the process ends, as the
    // login it reports on does.
    static SignInWatch *Instance();

signals:
    // After every change of LoginReply, with whether someone was signed in by it.
    void SignedInChanged(bool bSignedIn);

private:
    SignInWatch() = default;
};
