#include "app/CQSrvProduct.h"

CQSrvProduct::CQSrvProduct()
{
    m_shadowMgr.initialize();
}
