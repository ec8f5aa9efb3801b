#pragma once

#include <QListView>
#include <QPoint>

class ImageListItemModel;

// The material strip: 120x80 thumbnails left to right. It reports what the
// user does to the editor by signals and never changes the album itself;
// only a reorder by drag moves its own row before it reports it.
//
// Mouse: a click selects (sig_itemClicked); a release over an item's delete
// button asks to delete it, over the rotate button of an image to turn it;
// dragging an item into another gap moves it (the strip scrolls while the
// pointer is near either end). Keyboard: the arrows move the
// current item, Space or Enter selects it, Delete asks to delete it, Ctrl+R
// turns an image, Ctrl+D asks for its duration, Ctrl+Left and Ctrl+Right
// move it one place. The context menu of an image offers "Duration...".
class ImageListView : public QListView
{
    Q_OBJECT
public:
    explicit ImageListView(QWidget *pParent = nullptr);

    ImageListItemModel *imageModel() const { return m_pModel; }

    bool isOverDeleteButton() const { return m_bOverDeleteButton; }
    bool isOverRotateButton() const { return m_bOverRotateButton; }
    bool isDraggingInside() const { return m_bDraggingInside; }
    bool showSelectionBorder() const { return m_bShowSelectionBorder; }
    void setShowSelectionBorder(bool bShow);
    int dropRow() const { return m_iDropRow; }
    int dragRow() const { return m_iDragRow; }
    // Row whose card the cursor is over, or -1.
    int hoverRow() const { return m_iHoverRow; }

    // Where an item dragged to viewport point stPos would land: 0 before the
    // first item, rowCount() after the last.
    int dropRowAt(const QPoint &stPos) const;

Q_SIGNALS:
    void sig_itemPressed(QModelIndex stIndex);
    void sig_itemClicked(QModelIndex stIndex);
    void sig_deleteItem(QString szFilePath, int iIndex);
    void sig_transposeItem(QString szFilePath, int iIndex);
    // The user asks to set how long an image stays on screen.
    void sig_durationItem(QString szFilePath, int iIndex);
    void sig_itemDraged(QString szFilePath, int iOldIndex, int iNewIndex);

public Q_SLOTS:
    void onPressed(QModelIndex stIndex);
    void onClicked(QModelIndex stIndex);

protected:
    bool viewportEvent(QEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void keyPressEvent(QKeyEvent *pEvent) override;
    void contextMenuEvent(QContextMenuEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;
    void dragEnterEvent(QDragEnterEvent *pEvent) override;
    void dragMoveEvent(QDragMoveEvent *pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent *pEvent) override;
    void dropEvent(QDropEvent *pEvent) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    enum class Button { None, Delete, Rotate };
    // The button of a valid item under stPos (rotate only for images).
    Button buttonAt(const QPoint &stPos, QModelIndex *pIndex = nullptr) const;
    void updateHover(const QPoint &stPos);
    void clearHover();
    bool isOwnDrag(const QDropEvent *pEvent) const;
    // Within the auto-scroll margin of the strip's left or right end.
    bool isInScrollMargin(const QPoint &stPos) const;
    // Moves row iFrom into gap iGap and reports it; false when it stays.
    bool moveRowToGap(int iFrom, int iGap);

    ImageListItemModel *m_pModel = nullptr;
    bool m_bOverDeleteButton = false;
    bool m_bOverRotateButton = false;
    bool m_bDraggingInside = false;
    bool m_bShowSelectionBorder = true;
    int m_iDropRow = -1;
    int m_iDragRow = -1;
    int m_iRowCountBeforeDrag = 0;
    QPoint m_stPressPos;
    bool m_bPressOnButton = false;
    int m_iHoverRow = -1;
    QPoint m_stLastHoverPos{-1, -1};
};
