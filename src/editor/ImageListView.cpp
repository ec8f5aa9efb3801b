#include "editor/ImageListView.h"

#include "album/AlbumProjectState.h"
#include "editor/ImageListItemDelegate.h"
#include "editor/ImageListItemModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

ImageListView::ImageListView(QWidget *pParent)
    : QListView(pParent)
{
    setObjectName(QStringLiteral("imageSourceList"));
    m_pModel = new ImageListItemModel(this);
    setModel(m_pModel);
    QAbstractItemDelegate *pOld = itemDelegate();
    setItemDelegate(new ImageListItemDelegate(this));
    delete pOld;

    setAttribute(Qt::WA_Hover);
    viewport()->setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setFixedHeight(100);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setSpacing(8);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAutoScrollMargin(50);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    setAccessibleName(tr("Materials"));

    // While a drag scrolls the strip, the pointer stands still over moving
    // items: the gap it points at moves along.
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this]() {
        if (!m_bDraggingInside)
            return;
        m_iDropRow = dropRowAt(viewport()->mapFromGlobal(QCursor::pos()));
        viewport()->update();
    });
    connect(this, &QListView::pressed, this, &ImageListView::onPressed);
    connect(this, &QListView::clicked, this, &ImageListView::onClicked);
}

void ImageListView::setShowSelectionBorder(bool bShow)
{
    m_bShowSelectionBorder = bShow;
    viewport()->update();
}

void ImageListView::onPressed(QModelIndex stIndex)
{
    emit sig_itemPressed(stIndex);
}

void ImageListView::onClicked(QModelIndex stIndex)
{
    emit sig_itemClicked(stIndex);
}

ImageListView::Button ImageListView::buttonAt(const QPoint &stPos, QModelIndex *pIndex) const
{
    const QModelIndex stIndex = indexAt(stPos);
    if (pIndex)
        *pIndex = stIndex;
    if (!stIndex.isValid())
        return Button::None;
    const QRect stCard = ImageListItemDelegate::cardRect(visualRect(stIndex));
    if (ImageListItemDelegate::deleteButtonRect(stCard).contains(stPos))
        return Button::Delete;
    if (stIndex.data(Qt::UserRole).toInt() == SourceImage
        && ImageListItemDelegate::rotateButtonRect(stCard).contains(stPos))
        return Button::Rotate;
    return Button::None;
}

void ImageListView::updateHover(const QPoint &stPos)
{
    m_stLastHoverPos = stPos;
    QModelIndex stIndex;
    const Button eButton = buttonAt(stPos, &stIndex);
    const int iRow = stIndex.isValid() ? stIndex.row() : -1;
    const bool bDelete = eButton == Button::Delete;
    const bool bRotate = eButton == Button::Rotate;
    if (stIndex.isValid()) {
        const bool bOverVideoRotate = !bRotate
            && ImageListItemDelegate::rotateButtonRect(ImageListItemDelegate::cardRect(visualRect(stIndex)))
                   .contains(stPos);
        if (bDelete || bRotate)
            viewport()->setCursor(Qt::PointingHandCursor);
        else if (!bOverVideoRotate)
            viewport()->setCursor(Qt::ArrowCursor);
    }
    if (iRow != m_iHoverRow || bDelete != m_bOverDeleteButton || bRotate != m_bOverRotateButton) {
        m_iHoverRow = iRow;
        m_bOverDeleteButton = bDelete;
        m_bOverRotateButton = bRotate;
        viewport()->update();
    }
}

void ImageListView::clearHover()
{
    m_stLastHoverPos = QPoint(-1, -1);
    if (m_iHoverRow < 0 && !m_bOverDeleteButton && !m_bOverRotateButton)
        return;
    m_iHoverRow = -1;
    m_bOverDeleteButton = m_bOverRotateButton = false;
    viewport()->update();
}

bool ImageListView::viewportEvent(QEvent *pEvent)
{
    const bool bResult = QListView::viewportEvent(pEvent);
    switch (pEvent->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        updateHover(static_cast<QHoverEvent *>(pEvent)->pos());
        pEvent->accept();
        return true;
    case QEvent::HoverLeave:
        clearHover();
        pEvent->accept();
        return true;
    case QEvent::Paint: {
        // Items move under a still cursor when the strip scrolls or rows go:
        // look again, but only when something changed, or every paint would
        // ask for the next one.
        const QPoint stCursor = viewport()->mapFromGlobal(QCursor::pos());
        if (viewport()->rect().contains(stCursor) && viewport()->underMouse()) {
            const QModelIndex stUnder = indexAt(stCursor);
            if (stCursor != m_stLastHoverPos || (stUnder.isValid() ? stUnder.row() : -1) != m_iHoverRow)
                QCoreApplication::postEvent(viewport(), new QHoverEvent(QEvent::HoverMove, stCursor, stCursor));
        }
        break;
    }
    default:
        break;
    }
    return bResult;
}

void ImageListView::mousePressEvent(QMouseEvent *pEvent)
{
    m_bPressOnButton = false;
    if (pEvent->button() == Qt::LeftButton) {
        m_stPressPos = pEvent->pos();
        // A press on a button neither selects nor starts a drag.
        if (buttonAt(pEvent->pos()) != Button::None) {
            m_bPressOnButton = true;
            pEvent->accept();
            return;
        }
    }
    QListView::mousePressEvent(pEvent);
}

void ImageListView::mouseMoveEvent(QMouseEvent *pEvent)
{
    updateHover(pEvent->pos());
    if (m_bPressOnButton) {
        pEvent->accept();
        return;
    }
    QListView::mouseMoveEvent(pEvent);
}

void ImageListView::mouseReleaseEvent(QMouseEvent *pEvent)
{
    const bool bPressOnButton = m_bPressOnButton;
    m_bPressOnButton = false;
    if (pEvent->button() == Qt::LeftButton) {
        // Hit-tested here, where the button goes up: nothing over empty space.
        QModelIndex stIndex;
        const Button eButton = buttonAt(pEvent->pos(), &stIndex);
        if (eButton != Button::None) {
            viewport()->setCursor(Qt::ArrowCursor);
            const QString szPath = stIndex.data(Qt::DisplayRole).toString();
            if (eButton == Button::Delete)
                emit sig_deleteItem(szPath, stIndex.row());
            else
                emit sig_transposeItem(szPath, stIndex.row());
            pEvent->accept();
            return;
        }
        if (bPressOnButton) {
            pEvent->accept();
            return;
        }
    }
    QListView::mouseReleaseEvent(pEvent);
}

void ImageListView::keyPressEvent(QKeyEvent *pEvent)
{
    const QModelIndex stCurrent = currentIndex();
    if (stCurrent.isValid()) {
        const QString szPath = stCurrent.data(Qt::DisplayRole).toString();
        const bool bCtrl = pEvent->modifiers() & Qt::ControlModifier;
        switch (pEvent->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            emit sig_deleteItem(szPath, stCurrent.row());
            return;
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit sig_itemClicked(stCurrent);
            return;
        case Qt::Key_R:
            if (bCtrl && stCurrent.data(Qt::UserRole).toInt() == SourceImage) {
                emit sig_transposeItem(szPath, stCurrent.row());
                return;
            }
            break;
        case Qt::Key_D:
            if (bCtrl && stCurrent.data(Qt::UserRole).toInt() == SourceImage) {
                emit sig_durationItem(szPath, stCurrent.row());
                return;
            }
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (bCtrl) {
                const int iFrom = stCurrent.row();
                moveRowToGap(iFrom, pEvent->key() == Qt::Key_Left ? iFrom - 1 : iFrom + 2);
                return;
            }
            break;
        default:
            break;
        }
    }
    QListView::keyPressEvent(pEvent);
}

void ImageListView::contextMenuEvent(QContextMenuEvent *pEvent)
{
    // From the keyboard (the menu key) the menu is about the current item.
    const QModelIndex stIndex = pEvent->reason() == QContextMenuEvent::Mouse ? indexAt(pEvent->pos()) : currentIndex();
    if (!stIndex.isValid() || stIndex.data(Qt::UserRole).toInt() != SourceImage) {
        pEvent->ignore();
        return;
    }
    QMenu menu(this);
    QAction *pDuration = menu.addAction(tr("Duration..."));
    pDuration->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    const QPoint stAt = pEvent->reason() == QContextMenuEvent::Mouse ? pEvent->globalPos()
                                                                    : viewport()->mapToGlobal(visualRect(stIndex).center());
    if (menu.exec(stAt) == pDuration)
        emit sig_durationItem(stIndex.data(Qt::DisplayRole).toString(), stIndex.row());
}

void ImageListView::paintEvent(QPaintEvent *pEvent)
{
    // The gap marker is ours; Qt's indicator would draw a second one.
    const bool bIndicator = showDropIndicator();
    setDropIndicatorShown(false);
    QListView::paintEvent(pEvent);
    setDropIndicatorShown(bIndicator);

    // The strip fades out at both ends.
    QPainter painter(viewport());
    const int w = viewport()->width();
    const int h = viewport()->height();
    const QColor stClear(248, 249, 248, 0);
    const QColor stSolid(248, 249, 248, 255);
    QLinearGradient right(w - 10, 0, w + 15, 0);
    right.setColorAt(0, stClear);
    right.setColorAt(1, stSolid);
    painter.fillRect(QRect(w - 10, 0, 10, h), right);
    QLinearGradient left(10, 0, -15, 0);
    left.setColorAt(0, stClear);
    left.setColorAt(1, stSolid);
    painter.fillRect(QRect(0, 0, 10, h), left);
}

bool ImageListView::isOwnDrag(const QDropEvent *pEvent) const
{
    return pEvent->source() == this && m_iDragRow >= 0;
}

bool ImageListView::isInScrollMargin(const QPoint &stPos) const
{
    return stPos.x() < autoScrollMargin() || viewport()->width() - stPos.x() < autoScrollMargin();
}

int ImageListView::dropRowAt(const QPoint &stPos) const
{
    const int iCount = model()->rowCount();
    const QModelIndex stItem = indexAt(stPos);
    if (stItem.isValid()) {
        if (stItem.row() == m_iDragRow)
            return m_iDragRow;
        return stPos.x() <= visualRect(stItem).center().x() ? stItem.row() : stItem.row() + 1;
    }
    const QPoint stRight = stPos + QPoint(spacing(), 0);
    const QModelIndex stNext = indexAt(stRight);
    if (stNext.isValid())
        return stNext.row();
    if (iCount > 0 && visualRect(model()->index(iCount - 1, 0)).left() < stRight.x())
        return iCount;
    const QModelIndex stPrevious = indexAt(stPos - QPoint(spacing(), 0));
    return stPrevious.isValid() ? stPrevious.row() + 1 : 0;
}

void ImageListView::dragEnterEvent(QDragEnterEvent *pEvent)
{
    if (!isOwnDrag(pEvent)) {
        // Files from outside: the editor around the strip takes them.
        pEvent->ignore();
        return;
    }
    m_bDraggingInside = true;
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
}

void ImageListView::dragMoveEvent(QDragMoveEvent *pEvent)
{
    if (!isOwnDrag(pEvent)) {
        pEvent->ignore();
        return;
    }
    m_bDraggingInside = true;
    m_iDropRow = dropRowAt(pEvent->pos());
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
    // This handler replaces the base one, and with it the base's auto-scroll.
    if (hasAutoScroll() && isInScrollMargin(pEvent->pos()))
        startAutoScroll();
    viewport()->update();
}

void ImageListView::dragLeaveEvent(QDragLeaveEvent *pEvent)
{
    // The drag row stays: the drag may come back and drop.
    stopAutoScroll();
    m_bDraggingInside = false;
    m_iDropRow = -1;
    pEvent->accept();
    viewport()->update();
}

void ImageListView::dropEvent(QDropEvent *pEvent)
{
    if (!isOwnDrag(pEvent)) {
        pEvent->ignore();
        return;
    }
    stopAutoScroll();
    const int iGap = dropRowAt(pEvent->pos());
    moveRowToGap(m_iDragRow, iGap);
    // The row has moved already; startDrag() removes nothing afterwards.
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
    m_bDraggingInside = false;
    m_iDropRow = -1;
    viewport()->update();
}

bool ImageListView::moveRowToGap(int iFrom, int iGap)
{
    const int iCount = m_pModel->rowCount();
    if (iFrom < 0 || iFrom >= iCount || iGap < 0 || iGap > iCount)
        return false;
    const int iTo = iFrom < iGap ? iGap - 1 : iGap;
    if (iTo == iFrom)
        return false;
    const QString szPath = m_pModel->index(iFrom, 0).data(Qt::DisplayRole).toString();
    const QList<QStandardItem *> row = m_pModel->takeRow(iFrom);
    m_pModel->insertRow(iTo, row);
    setCurrentIndex(m_pModel->index(iTo, 0));
    emit sig_itemDraged(szPath, iFrom, iTo);
    return true;
}

void ImageListView::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndex stIndex = currentIndex();
    if (!stIndex.isValid())
        return;
    m_iDragRow = stIndex.row();
    m_iRowCountBeforeDrag = m_pModel->rowCount();

    const QSize stHalf(qRound(visualRect(stIndex).width() / 2.0), qRound(visualRect(stIndex).height() / 2.0));
    const qreal lfRatio = devicePixelRatioF();
    QPixmap stPixmap(stHalf * lfRatio);
    stPixmap.setDevicePixelRatio(lfRatio);
    stPixmap.fill(QColor(0xD9, 0xD9, 0xD9));
    const QPixmap stThumb = stIndex.data(Qt::BackgroundRole).value<QBrush>().texture();
    if (!stThumb.isNull()) {
        QPainter painter(&stPixmap);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSize stSize = stThumb.size() / stThumb.devicePixelRatio() / 2;
        painter.drawPixmap(QRect(QPoint((stHalf.width() - stSize.width()) / 2, (stHalf.height() - stSize.height()) / 2),
                                 stSize),
                           stThumb);
    }

    auto *pDrag = new QDrag(this);
    pDrag->setMimeData(m_pModel->mimeData({stIndex}));
    pDrag->setPixmap(stPixmap);
    pDrag->setHotSpot(QPoint(stHalf.width() / 2, stHalf.height() / 2));
    if (dragDropMode() == QAbstractItemView::InternalMove)
        supportedActions &= ~Qt::CopyAction;
    pDrag->exec(supportedActions, Qt::MoveAction);

    stopAutoScroll();
    m_iDragRow = -1;
    m_iDropRow = -1;
    m_bDraggingInside = false;
    viewport()->update();
}
