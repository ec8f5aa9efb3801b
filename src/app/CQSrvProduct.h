#pragma once

#include "app/CQEventStartUpMgr.h"
#include "app/SingletonCls.h"
#include "ui/CBLLUIShadowMgr.h"
#include "ui/CQDialogExMgr.h"
#include "ui/CQThemeMgr.h"

#include <QObject>

// The service registry. Owns the program-wide services; they are built in
// declaration order and destroyed in reverse.
class CQSrvProduct : public QObject, public SingletonCls<CQSrvProduct>
{
    Q_OBJECT
public:
    CQSrvProduct();
    ~CQSrvProduct() override = default;

private:
    CQDialogExMgr m_dialogMgr;
    CQThemeMgr m_themeMgr;
    CQEventStartUpMgr m_eventStartUpMgr;
    CBLLUIShadowMgr m_shadowMgr;
};
