#pragma once

#include <QComboBox>

class CQComboBoxListView;

// A combo box whose drop-down list is drawn by the program (rounded
// highlight, check icon on the current row, paddings, fixed row height,
// separators) and configured from style sheets through the properties of
// CQComboBoxListView ("CQComboBoxListView{qproperty-itemHeight: 32;}").
// The list opens spacingBetweenBoxAndListView pixels below where Qt puts it,
// with or without the platform's opening animation.
class CQComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(bool effectEnabled READ effectEnabled WRITE setEffectEnabled)
    Q_PROPERTY(int spacingBetweenBoxAndListView READ spacingBetweenBoxAndListView WRITE
                   setSpacingBetweenBoxAndListView)
public:
    explicit CQComboBox(QWidget *pParent = nullptr);

    bool effectEnabled() const { return m_bEffectEnabled; }
    void setEffectEnabled(bool bEnabled) { m_bEffectEnabled = bEnabled; }
    int spacingBetweenBoxAndListView() const { return m_iSpacing; }
    void setSpacingBetweenBoxAndListView(int iSpacing) { m_iSpacing = iSpacing; }

    CQComboBoxListView *listView() const { return m_pListView; }

    void showPopup() override;

private:
    CQComboBoxListView *m_pListView = nullptr;
    bool m_bEffectEnabled = false;
    int m_iSpacing = 0;
};
