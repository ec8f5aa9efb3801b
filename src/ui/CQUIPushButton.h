#pragma once

#include <QPushButton>

// A push button painted with anti-aliasing, so that rounded style-sheet
// borders come out smooth.
class CQUIPushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CQUIPushButton(QWidget *pParent = nullptr);

protected:
    void paintEvent(QPaintEvent *pEvent) override;
};
