#pragma once
// A style that remembers what it was asked to draw, so tests can check what a
// delegate or header painted without comparing pixels.

#include <QProxyStyle>
#include <QStyleOption>
#include <QStyleOptionButton>
#include <QStyleOptionProgressBar>

class RecordingStyle : public QProxyStyle
{
public:
    RecordingStyle() : QProxyStyle("Fusion") {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ProgressBar) {
            if (auto *pBar = qstyleoption_cast<const QStyleOptionProgressBar *>(option))
                progressBars.append(*pBar);
        } else if (element == CE_PushButton || element == CE_CheckBox) {
            if (auto *pButton = qstyleoption_cast<const QStyleOptionButton *>(option))
                (element == CE_PushButton ? pushButtons : checkBoxes).append(*pButton);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void Clear()
    {
        progressBars.clear();
        pushButtons.clear();
        checkBoxes.clear();
    }

    mutable QList<QStyleOptionProgressBar> progressBars;
    mutable QList<QStyleOptionButton> pushButtons;
    mutable QList<QStyleOptionButton> checkBoxes;
};
