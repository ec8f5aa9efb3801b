#include "online/CUniteBase.h"

#include <QMutexLocker>

QString CUniteBase::getErrorText() const
{
    QMutexLocker locker(&m_mutex);
    return m_szErrorText;
}

void CUniteBase::clearErrorText()
{
    setErrorText(QString());
}

QString CUniteBase::getInfoText() const
{
    QMutexLocker locker(&m_mutex);
    return m_szInfoText;
}

void CUniteBase::clearInfoText()
{
    setInfoText(QString());
}

void CUniteBase::setErrorText(const QString &szText)
{
    QMutexLocker locker(&m_mutex);
    m_szErrorText = szText;
}

void CUniteBase::setInfoText(const QString &szText)
{
    QMutexLocker locker(&m_mutex);
    m_szInfoText = szText;
}
