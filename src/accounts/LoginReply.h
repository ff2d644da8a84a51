#pragma once
// The reply of the last successful login, kept for the whole process. Empty
// while nobody is signed in. Written by the login thread, read by the GUI thread.

#include <QJsonObject>

QJsonObject LoginReply();
bool HasLoginReply();
void SetLoginReply(const QJsonObject &joReply);
