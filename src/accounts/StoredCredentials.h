#pragma once
// The remembered login, "./User.bin" beside the program: an indented JSON
// object {"username", "password" (digest or empty), "auto", "remember"} in the
// compressed body format of the server protocol.

#include <QString>

struct StoredCredentials {
    QString sUserName;
    QString sPassword; // the password digest; empty unless "auto" or "remember"
    bool bAuto = false;
    bool bRemember = false;
};

QString UserFilePath();
// False (and *pCredentials untouched) when the file is missing, unreadable,
// or does not decompress and parse.
bool ReadStoredCredentials(StoredCredentials *pCredentials, const QString &sPath = UserFilePath());
// Replaces the file whole, readable by the user alone; false when it cannot be
// written (also when the name is a link or a file of another user).
bool WriteStoredCredentials(const StoredCredentials &credentials,
                            const QString &sPath = UserFilePath());
