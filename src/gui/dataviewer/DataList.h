#pragma once
// Shows a saved data-stream record: a list of its items to pick from (in an
// order of the user's choice) and a detail table of the picked items whose
// values can be replayed frame by frame, one frame per second.

#include "dataviewer/RecordFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QTimer>
#include <QWidget>

namespace Ui
{
class DataList;
}
class KXCheckBoxHeaderView;

class DataList : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kReplayIntervalMs = 1000;
    // Longer records are read on a worker behind a prompt that can stop it.
    static constexpr qint64 kReadInPlaceBytes = 4 * 1024 * 1024;

    explicit DataList(QWidget *parent = nullptr);
    ~DataList() override;

    // Reads a record file and lists its items; true when it is shown. A file
    // that cannot be read or holds no content empties the page (nothing of the
    // previous record stays) and gives false; so does a read the user stopped,
    // which leaves the page as it was. LastStatus() tells which.
    bool Load(const QString &sPath);
    RecordReadStatus LastStatus() const { return lastStatus; }
    // The bounds of RecordLimits left the end of the last record unread.
    bool LastCut() const { return bLastCut; }
    qint64 LastBytesLeft() const { return nLastBytesLeft; }
    void Retranslate();

    bool IsPlaying() const { return bPlaying; }
    int FrameIndex() const { return nFrameIndex; }
    int FrameCount() const { return lstFrames.size(); }
    // Item index -> 0-based selection order.
    QMap<int, int> Selection() const { return mapSelection; }

public slots:
    void SelectAll(bool bChecked);
    void on_btnBack_clicked();
    void on_btnOK_clicked();
    void on_btnPlay_clicked();
    void on_btnBack_2_clicked();

signals:
    void back();

private slots:
    void OnCellChanged(int nRow, int nColumn);
    void OnReplayTick();

private:
    RecordReadStatus ReadRecord(const QString &sPath, DataStreamRecord &record);
    void Show(const QJsonObject &joData);
    void ShowFrame(int nFrame);
    // Ends a running replay; the next start continues after the frame shown.
    void PauseReplay();
    void ShowPlayIcon(bool bPlay);
    QJsonArray Items() const;

    Ui::DataList *ui;
    KXCheckBoxHeaderView *pHeader = nullptr;
    QJsonObject joContent;
    QList<QJsonArray> lstFrames;
    QMap<int, int> mapSelection;
    bool bPlaying = false;
    int nFrameIndex = 0;
    QTimer tmReplay;
    RecordReadStatus lastStatus = RecordReadStatus::Unreadable;
    bool bLastCut = false;
    qint64 nLastBytesLeft = 0;
};
