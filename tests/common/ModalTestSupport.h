#pragma once

// Answering the modal dialogs that code under test opens (header only, for
// the widget tests).

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace testsupport {

// Runs fnAnswer on the first modal T that comes up, however late the code
// under test gets to open it (a loaded machine may take well over a timer tick).
template <class T>
void whenModalUp(std::function<void(T *)> fnAnswer, int iTimeoutMs = 30000)
{
    auto *pPoll = new QTimer;
    const QDeadlineTimer stDeadline(iTimeoutMs);
    QObject::connect(pPoll, &QTimer::timeout, [pPoll, stDeadline, fnAnswer]() {
        auto *pModal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!pModal && !stDeadline.hasExpired())
            return;
        pPoll->stop();
        pPoll->deleteLater();
        QVERIFY2(pModal, "the expected dialog never came up");
        fnAnswer(pModal);
    });
    pPoll->start(10);
}

} // namespace testsupport
