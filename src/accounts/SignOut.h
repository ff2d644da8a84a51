#pragma once
// Signing out: nobody is signed in afterwards, on this side and towards the
// server, and the next start does not sign in again by itself.

// Empties LoginReply and the shared cookie store (the server's session cookie
// goes with it); in "./User.bin" switches automatic login off and drops the
// password digest unless it was to be remembered.
void SignOut();
