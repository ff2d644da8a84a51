#pragma once
// Where secondary windows open: centred over the window they belong to, not
// wherever the window system (or, without one, the screen's corner) puts them.

class QWidget;

// The window a new top-level pWindow belongs to: its parent's window; without
// a parent the active window, else the application's visible main window;
// null when there is none.
QWidget *PlacementAnchor(const QWidget *pWindow);

// Moves the top-level pWindow so that its centre is that of pOver's window.
// Nothing happens when pOver is null or not shown.
void CentreOver(QWidget *pWindow, const QWidget *pOver);
