#pragma once

// The preview-quality help that pops up over the quality selector: why the
// preview may stutter and that a smaller preview quality helps without
// touching the exported video.

#include <QWidget>

class CQPrevTipDialog : public QWidget
{
    Q_OBJECT
public:
    explicit CQPrevTipDialog(QWidget *pParent = nullptr);

protected:
    void paintEvent(QPaintEvent *pEvent) override;

private:
    bool m_bTranslucent = false;
};
