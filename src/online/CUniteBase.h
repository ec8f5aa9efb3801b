#pragma once

#include <QMutex>
#include <QString>

// Common base of classes that report failure as a false result plus a
// readable error text, with an information text beside it. The texts may be
// read from another thread than the one that works, so they are guarded.
class CUniteBase
{
public:
    CUniteBase() = default;
    virtual ~CUniteBase() = default;
    CUniteBase(const CUniteBase &) = delete;
    CUniteBase &operator=(const CUniteBase &) = delete;

    virtual void reset() {}
    virtual QString getErrorText() const;
    virtual void clearErrorText();
    virtual QString getInfoText() const;
    virtual void clearInfoText();

protected:
    void setErrorText(const QString &szText);
    void setInfoText(const QString &szText);

private:
    mutable QMutex m_mutex;
    QString m_szErrorText;
    QString m_szInfoText;
};
