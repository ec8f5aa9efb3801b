#pragma once

#include "online/CQJSBase.h"

// The bridge of the about page: its address from the product information
// for the current theme, and its title.
class CQJSAboutUs : public CQJSBase
{
    Q_OBJECT
public:
    explicit CQJSAboutUs(QObject *pParent = nullptr);

    QString pageAddress() const override;
    QString title() const override;
};
