#include "ui/CQComboBox.h"

#include "ui/CQComboBoxListView.h"
#include "ui/CQWidgetEx.h"

#include <QApplication>

CQComboBox::CQComboBox(QWidget *pParent)
    : QComboBox(pParent)
{
    m_pListView = new CQComboBoxListView(this);
    setView(m_pListView);
    QWidget *pPopup = m_pListView->window();
    pPopup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    pPopup->setAttribute(Qt::WA_TranslucentBackground, windowTranslucencyAvailable());
}

void CQComboBox::showPopup()
{
    // Only a setting that differs is switched (and switched back): writing
    // it blindly could clear the flag under a switched-off UI_General.
    const bool bSwitch = QApplication::isEffectEnabled(Qt::UI_AnimateCombo) != m_bEffectEnabled;
    if (bSwitch)
        QApplication::setEffectEnabled(Qt::UI_AnimateCombo, m_bEffectEnabled);
    QComboBox::showPopup();
    QWidget *pPopup = view()->window();
    pPopup->move(pPopup->x(), pPopup->y() + m_iSpacing);
    pPopup->setAttribute(Qt::WA_TranslucentBackground, windowTranslucencyAvailable());
    if (bSwitch)
        QApplication::setEffectEnabled(Qt::UI_AnimateCombo, !m_bEffectEnabled);
}
