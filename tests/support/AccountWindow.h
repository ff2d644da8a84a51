#pragma once
// The account window a test drives (the login or the registration window),
// opened as the program opens it: deleted when it closes. After each test
// function Clear() answers the message boxes and deletes the window with any
// account window it opened.
//
//     AccountWindow<UserReg> m_window;
//     UserReg *pWindow = m_window.Open();
//     QVERIFY(m_window.Shown());
//     m_window.Clear();                                            // cleanup

#include "TestWidgets.h"
#include "accounts/UserManage.h"
#include "accounts/UserReg.h"

#include <QPointer>

template <class Window> class AccountWindow
{
public:
    Window *Open()
    {
        m_pWindow = new Window;
        m_pWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_pWindow->show();
        return m_pWindow;
    }

    void Clear()
    {
        TestWidgets::TakeMessage();
        delete m_pWindow;
        TestWidgets::DeleteTopLevelsOf<UserManage, UserReg>();
    }

    // Still there and shown.
    bool Shown() const { return m_pWindow && m_pWindow->isVisible(); }
    // Deleted (a closed window is) or never opened.
    bool Deleted() const { return m_pWindow.isNull(); }

private:
    QPointer<Window> m_pWindow;
};
