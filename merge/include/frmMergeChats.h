#pragma once

#include <QDialog>
#include <QSet>
#include <QStringList>

#include "MergedChats.h"

class ChatFilterBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The modal dialog in which the user puts a merged chat together: chats are moved from the list of the
// loaded log's chats into the merge list, and Apply stores that list as a new entry of mergedChats.
// Create a fresh dialog for every opening; it keeps nothing between openings. Cancel, Esc and the close
// box leave mergedChats untouched.
class frmMergeChats : public QDialog {
    Q_OBJECT
public:
    // chatNames fills the list of available chats, in order. mergedChats must outlive the dialog.
    frmMergeChats(const QStringList &chatNames, MergedChatTable &mergedChats, QWidget *parent = nullptr);
    ~frmMergeChats() override;

public slots:
    // Fills the list of available chats; called once by the constructor.
    void Form_Load();
    // ">>": appends each selected available chat to the merge list unless the list already holds exactly
    // that name. The selection of the available chats is kept.
    void cmdAddToMerge_Click();
    // "<<": removes every selected chat from the merge list.
    void cmdRemoveFromMerge_Click();
    // Stores the merge list, top to bottom, as a new merged chat and closes with Accepted. Does nothing
    // while the merge list is empty.
    void cmdApply_Click();
    // Closes with Rejected and no change.
    void cmdCancel_Click();
    // A double-click on a name moves just that name as ">>" or "<<" would: into the merge list (once),
    // or out of it.
    void lstChatNames_DblClick(QListWidgetItem *item);
    void lstMergedChatNames_DblClick(QListWidgetItem *item);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void setTabOrder();
    void updateApplyEnabled();
    void addToMerge(const QStringList &names);
    void removeFromMerge(int row);

    const QStringList chatNames_;
    MergedChatTable &mergedChats_;
    QSet<QString> mergedNames_; // the names in lstMergedChatNames

    // Controls, named as in the dialog's design.
    QLabel *Label2 = nullptr;
    QListWidget *lstChatNames = nullptr;
    ChatFilterBox *txtChatFilter = nullptr;
    QPushButton *cmdAddToMerge = nullptr;
    QPushButton *cmdRemoveFromMerge = nullptr;
    QLabel *Label4 = nullptr;
    QListWidget *lstMergedChatNames = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;
};
