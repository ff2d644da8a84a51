#pragma once
#include <QHeaderView>

// Horizontal header whose first section carries a select-all check box.
class KXCheckBoxHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit KXCheckBoxHeaderView(QWidget *parent = nullptr);

    bool IsChecked() const { return checked; }
    // Sets the box without emitting checkStausChange (e.g. when rows change).
    void SetChecked(bool bChecked);

signals:
    void checkStausChange(bool bChecked);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    const int nCheckColumn = 0;
    bool checked = false;
};
