#pragma once

#include <QDialog>

class QLabel;

// The hint that appears while the pointer rests on the image-watermark help
// button: one wrapped line of text on a dark bubble. A frameless child of
// the editor, not a window of its own.
class ImageWatermarkHelpDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ImageWatermarkHelpDialog(QWidget *pParent = nullptr);

    // Size the bubble first: the text then makes it taller where it needs to.
    void setText(const QString &szText);
    QString text() const;

private:
    QLabel *m_pText = nullptr;
};
