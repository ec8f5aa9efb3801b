#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class CQDlgWebViewKV;

// The script bridge a page in the web dialog reaches through the web
// channel. What the page sees is exactly the two slots and the one signal
// below; everything else is plain C++ and out of the page's reach.
class CQJSBase : public QObject
{
    Q_OBJECT
public:
    explicit CQJSBase(QObject *pParent = nullptr);

    virtual QString pageAddress() const;
    virtual QString title() const;
    // The name the pages address the bridge by.
    virtual QString bridgeObjectName() const;
    virtual bool showTitle() const;
    // Ties the bridge to the dialog whose page it serves.
    virtual void bind(CQDlgWebViewKV *pDialog);

    int cornerRadius() const { return m_iCornerRadius; }

Q_SIGNALS:
    // Emitted with script text: runs it in the dialog's page.
    void sigClientCallInstallJS(QString szStatus);

public Q_SLOTS:
    // Ends the dialog with nResult as exec()'s result.
    void sltWebClose(int nResult);
    // Runs szJSCode in the dialog's page.
    void sltClientCallInstallJS(QString szJSCode);

protected:
    QPointer<CQDlgWebViewKV> m_pDialog;
    int m_iCornerRadius = 0;
};

// A page with a title and nothing else: our own pages (help, product,
// feedback) and configured pages of the maker's site.
class CQJSPage : public CQJSBase
{
    Q_OBJECT
public:
    CQJSPage(const QString &szAddress, const QString &szTitle, QObject *pParent = nullptr);

    QString pageAddress() const override { return m_szAddress; }
    QString title() const override { return m_szTitle; }

private:
    QString m_szAddress;
    QString m_szTitle;
};
