#include "app/SettingDlg.h"
#include "ui_SettingDlg.h"

#include "base/Json.h"
#include "app/Settings.h"
#include "app/WorkingFolder.h"
#include "widgets/IconHelper.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <algorithm>

SettingDlg::SettingDlg(QWidget *parent) : QDialog(parent), ui(new Ui::SettingDlg)
{
    ui->setupUi(this);
    setProperty("Form", true);
    setProperty("CanMove", true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::Dialog);

    IconHelper::Instance()->SetIcon(ui->lab_Ico, QChar(0xF013), 13);
    IconHelper::Instance()->SetIcon(ui->btnMin, QChar(0xF068), 12);
    IconHelper::Instance()->SetIcon(ui->btnMax, QChar(0xF2D0), 10);
    IconHelper::Instance()->SetIcon(ui->btnClose, QChar(0xF00D), 12);
    ui->btnMin->hide();
    ui->btnMax->hide();

    const int nTextWidth =
        QFontMetrics(QApplication::font()).horizontalAdvance(ui->btnApply->text());
    ui->btnApply->setMaximumWidth(std::max(160, nTextWidth + 20));

    LoadLanguageList();
}

SettingDlg::~SettingDlg()
{
    delete ui;
}

// "./Lang/language.txt" in the working folder; an installed program whose
// working folder is the user's data folder reads the one it ships with.
QString SettingDlg::LanguageListFile()
{
    const QString sLocal = QStringLiteral("./Lang/language.txt");
    if (QFile::exists(sLocal))
        return sLocal;
    return ProgramFolder() + QStringLiteral("/Lang/language.txt");
}

void SettingDlg::LoadLanguageList()
{
    const int nLanguage = LanguageSetting();
    QFile file(LanguageListFile());
    if (!file.open(QIODevice::ReadOnly)) {
        ui->cmbLangluage->setCurrentIndex(nLanguage);
        return;
    }
    const QByteArray baJson = file.readAll();
    ui->cmbLangluage->clear();
    bool bOk = false;
    const QJsonArray languages = ParseJsonArray(baJson, &bOk);
    if (!bOk)
        return;
    for (const QJsonValue &value : languages) {
        if (!value.isObject())
            continue;
        const QJsonObject entry = value.toObject();
        ui->cmbLangluage->addItem(entry.value("name").toString(), entry.value("pack").toVariant());
    }
    ui->cmbLangluage->setCurrentIndex(nLanguage);
}

void SettingDlg::on_btnApply_clicked()
{
    qDebug() << ui->cmbLangluage->currentText() << ui->cmbLangluage->currentData();
    StoreLanguageSetting(ui->cmbLangluage->currentIndex());
    emit SetLanguage(ui->cmbLangluage->currentData().toString());
    close();
}

void SettingDlg::on_btnClose_clicked()
{
    close();
}

void SettingDlg::keyPressEvent(QKeyEvent *event)
{
    // Return/Enter apply; nothing else, so Escape leaves the dialog open.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        on_btnApply_clicked();
}
