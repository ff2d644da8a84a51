#pragma once
class QObject;

// The silent login from "./User.bin". Runs on the caller's thread (started on
// a thread of its own); when the user must be asked it emits pMainWindow's
// signal ShowLogin, queued.
void AutoUserLogin(QObject *pMainWindow);
