#include "export_dialogs/ProgressDialog.h"

#include "export_dialogs/ExportDialogFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

ProgressDialog::ProgressDialog(QWidget *pParent)
    : QDialog(pParent)
{
    setObjectName(QStringLiteral("ProgressDialogClass"));
    const ExportDialogFrame stFrame = buildExportDialogFrame(this);
    m_pBackground = stFrame.pBackground;
    m_pClose = stFrame.pClose;
    stFrame.pBottomLayout->setContentsMargins(41, 20, 41, 28);
    stFrame.pBottomLayout->setSpacing(14);
    m_pBar = new QProgressBar(stFrame.pBottom);
    m_pBar->setObjectName(QStringLiteral("barProgress"));
    m_pBar->setFixedSize(420, 10);
    m_pBar->setRange(0, 100);
    m_pBar->setTextVisible(false);
    stFrame.pBottomLayout->addWidget(m_pBar, 0, Qt::AlignHCenter);
    m_pContent = new QLabel(stFrame.pBottom);
    m_pContent->setObjectName(QStringLiteral("labelContent"));
    m_pContent->setAlignment(Qt::AlignCenter);
    m_pContent->setTextFormat(Qt::PlainText);
    stFrame.pBottomLayout->addWidget(m_pContent);

    setWindowTitle(QCoreApplication::translate("ProgressDialogClass", "Dialog"));
    m_pContent->setText(QCoreApplication::translate("ProgressDialogClass", "Material import... "));
    m_pBar->setAccessibleName(QCoreApplication::translate("ProgressDialogClass", "Progress"));
    connect(m_pBar, &QProgressBar::valueChanged, this, &ProgressDialog::updateLabel);
    m_pBar->setValue(qBound(m_pBar->minimum(), 0, m_pBar->maximum()));
    emit m_pBar->valueChanged(m_pBar->value());
}

ProgressDialog *ProgressDialog::createForExport(QWidget *pParent)
{
    auto *pDialog = new ProgressDialog(pParent);
    pDialog->setAttribute(Qt::WA_DeleteOnClose, false);
    pDialog->setWindowModality(Qt::ApplicationModal);
    pDialog->m_bStaysUntilDone = true;
    pDialog->setPrefixText(QCoreApplication::translate("ProgressDialogClass", "exporting... "));
    pDialog->setBackgroundImage(QStringLiteral(":/theme_local/imgs/dlg_export_images.png"));
    return pDialog;
}

void ProgressDialog::setPrefixText(const QString &szText)
{
    m_szPrefix = szText;
    refresh();
}

void ProgressDialog::setBackgroundImage(const QString &szPath)
{
    setExportDialogPicture(m_pBackground, szPath);
}

void ProgressDialog::setProgress(int iValue)
{
    m_pBar->setValue(qBound(m_pBar->minimum(), iValue, m_pBar->maximum()));
    refresh();
}

int ProgressDialog::progress() const
{
    return m_pBar->value();
}

QString ProgressDialog::labelText() const
{
    return m_pContent->text();
}

void ProgressDialog::refresh()
{
    // The label follows a changed prefix even when the value stays.
    emit m_pBar->valueChanged(m_pBar->value());
    update();
}

void ProgressDialog::updateLabel(int iValue)
{
    if (m_szPrefix.isEmpty())
        m_pContent->setText(QStringLiteral("%1%").arg(iValue));
    else
        m_pContent->setText(QStringLiteral("%1 (%2%)").arg(m_szPrefix).arg(iValue));
}

void ProgressDialog::closeAfterTime(int iMilisecond)
{
    if (m_iCloseTimerId)
        killTimer(m_iCloseTimerId);
    m_iCloseTimerId = startTimer(iMilisecond, Qt::CoarseTimer);
}

void ProgressDialog::timerEvent(QTimerEvent *pEvent)
{
    if (pEvent->timerId() != m_iCloseTimerId) {
        QDialog::timerEvent(pEvent);
        return;
    }
    killTimer(m_iCloseTimerId);
    m_iCloseTimerId = 0;
    close();
}

void ProgressDialog::showEvent(QShowEvent *pEvent)
{
    m_dimming.setDimmed(true);
    QDialog::showEvent(pEvent);
}

void ProgressDialog::hideEvent(QHideEvent *pEvent)
{
    m_dimming.setDimmed(false);
    emit sig_hided();
    QDialog::hideEvent(pEvent);
}

void ProgressDialog::closeEvent(QCloseEvent *pEvent)
{
    if (!m_bStaysUntilDone) {
        QDialog::closeEvent(pEvent);
        return;
    }
    pEvent->ignore();
    requestCancel();
}

void ProgressDialog::reject()
{
    if (m_bStaysUntilDone)
        requestCancel();
    else
        QDialog::reject();
}

void ProgressDialog::requestCancel()
{
    if (m_bCancelRequested)
        return;
    m_bCancelRequested = true;
    m_pClose->setEnabled(false);
    setPrefixText(QCoreApplication::translate("ProgressDialogClass", "cancelling... "));
    emit sig_cancelRequested();
}
