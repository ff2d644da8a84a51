#pragma once
#include <QChar>
#include <QFont>
#include <QObject>

class QAbstractButton;
class QLabel;

// Draws icons as characters of the compiled-in icon font
// (":/font/fontawesome-webfont.ttf"), e.g. U+F00D close, U+F013 settings.
class IconHelper : public QObject
{
    Q_OBJECT
public:
    static IconHelper *Instance();

    void SetIcon(QLabel *pLabel, QChar c, int nSize = 10);
    void SetIcon(QAbstractButton *pButton, QChar c, int nSize = 10);

    // The icon font at the given size, scaled like the widget fonts.
    QFont IconFont(int nSize);

private:
    IconHelper();

    QFont iconFont;
};
