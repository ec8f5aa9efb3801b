#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;
class QWidget;

// The application object. Only one instance runs per executable file name:
// a second start connects to the first one's local server, which brings its
// window to the front, and then ends.
class CQAppSingle : public QApplication
{
    Q_OBJECT
public:
    CQAppSingle(int &argc, char **argv);
    ~CQAppSingle() override;

    bool isAlreadyRunning() const { return m_bAlreadyRunning; }
    void setMainWindow(QWidget *pMainWindow) { m_pMainWindow = pMainWindow; }
    // Whether this instance owns the local server name.
    bool isListening() const;
    QString serverName() const { return m_szServerName; }

private Q_SLOTS:
    void sltNewLocalConnection();

private:
    QWidget *m_pMainWindow = nullptr;
    bool m_bAlreadyRunning = false;
    QLocalServer *m_pLocalServer = nullptr;
    QString m_szServerName;
    int m_iConnectTimeoutMs = 500;
};
