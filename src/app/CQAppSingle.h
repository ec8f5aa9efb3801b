#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>

class QLocalServer;
class QWidget;

// The application object. Only one instance runs per executable file name:
// a second start connects to the first one's local server, which brings its
// window to the front, and then ends. A second start given files to open
// (the desktop's "Open with") hands their paths over first, so that the
// running instance opens them (sig_filesOpened).
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

Q_SIGNALS:
    // Files another start of the program was asked to open.
    void sig_filesOpened(QStringList files);

private Q_SLOTS:
    void sltNewLocalConnection();

private:
    QWidget *m_pMainWindow = nullptr;
    bool m_bAlreadyRunning = false;
    QLocalServer *m_pLocalServer = nullptr;
    QString m_szServerName;
    int m_iConnectTimeoutMs = 500;
};
