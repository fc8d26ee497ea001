#include "frmMergeChats.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ChatFilterBox.h"
#include "DesignedControls.h"
#include "FormTeardown.h"
#include "Twips.h"

frmMergeChats::frmMergeChats(const QStringList &chatNames, MergedChatTable &mergedChats, QWidget *parent)
    : QDialog(parent), chatNames_(chatNames), mergedChats_(mergedChats)
{
    setObjectName(QStringLiteral("frmMergeChats"));
    setWindowTitle(QStringLiteral("Merge Chats"));
    // An ordinary sizable window with all caption buttons, not the bare close box of a dialog.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setFont(twips::designFont());
    createControls();
    setTabOrder();
    // No layout: the controls keep their designed places when the window is resized.
    resize(twips::toPixels(6375), twips::toPixels(3180));
    lstMergedChatNames->setFocus();
    Form_Load();
}

// The merge list's model resets while the lists are destroyed, which would run updateApplyEnabled on
// what is left of this dialog.
frmMergeChats::~frmMergeChats()
{
    disconnectChildrenFrom(this);
}

void frmMergeChats::createControls()
{
    Label2 = makeHeaderLabel(this, QStringLiteral("Label2"), QStringLiteral("List of Available Chats:"));
    twips::setGeometry(Label2, 120, 120, 2655, 255);
    lstChatNames = new QListWidget(this);
    lstChatNames->setObjectName(QStringLiteral("lstChatNames"));
    lstChatNames->setSelectionMode(QAbstractItemView::MultiSelection);
    // Every row is one line of text: the lists take the first row's size for all rather than measure
    // each of thousands of names.
    lstChatNames->setUniformItemSizes(true);
    // A long list is narrowed to the names holding the filter's text; a hidden row is never added by ">>".
    twips::setGeometry(lstChatNames, 120, 720, 2655, 1845);
    txtChatFilter = new ChatFilterBox(lstChatNames, this, true);
    twips::setGeometry(txtChatFilter, 120, 360, 2655, 315);

    cmdAddToMerge = makeButton(this, QStringLiteral("cmdAddToMerge"), QStringLiteral(">>"));
    twips::setGeometry(cmdAddToMerge, 2880, 840, 615, 375);
    cmdRemoveFromMerge = makeButton(this, QStringLiteral("cmdRemoveFromMerge"), QStringLiteral("<<"));
    twips::setGeometry(cmdRemoveFromMerge, 2880, 1320, 615, 375);

    Label4 = makeHeaderLabel(this, QStringLiteral("Label4"), QStringLiteral("List of Chats to be Merged:"));
    twips::setGeometry(Label4, 3600, 120, 2655, 255);
    lstMergedChatNames = new QListWidget(this);
    lstMergedChatNames->setObjectName(QStringLiteral("lstMergedChatNames"));
    lstMergedChatNames->setSelectionMode(QAbstractItemView::MultiSelection);
    lstMergedChatNames->setUniformItemSizes(true);
    twips::setGeometry(lstMergedChatNames, 3600, 360, 2655, 2205);

    // Neither button is a default button, so Enter never applies by accident.
    cmdApply = makeButton(this, QStringLiteral("cmdApply"), QStringLiteral("&Apply"));
    twips::setGeometry(cmdApply, 3600, 2760, 1215, 375);
    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"));
    twips::setGeometry(cmdCancel, 4920, 2760, 1215, 375);

    connect(cmdAddToMerge, &QPushButton::clicked, this, &frmMergeChats::cmdAddToMerge_Click);
    connect(cmdRemoveFromMerge, &QPushButton::clicked, this, &frmMergeChats::cmdRemoveFromMerge_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmMergeChats::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMergeChats::cmdCancel_Click);
    connect(lstChatNames, &QListWidget::itemDoubleClicked, this, &frmMergeChats::lstChatNames_DblClick);
    connect(lstMergedChatNames, &QListWidget::itemDoubleClicked, this,
            &frmMergeChats::lstMergedChatNames_DblClick);

    // A merged chat needs at least one name, so Apply follows whether the merge list has any.
    QAbstractItemModel *merged = lstMergedChatNames->model();
    connect(merged, &QAbstractItemModel::rowsInserted, this, &frmMergeChats::updateApplyEnabled);
    connect(merged, &QAbstractItemModel::rowsRemoved, this, &frmMergeChats::updateApplyEnabled);
    connect(merged, &QAbstractItemModel::modelReset, this, &frmMergeChats::updateApplyEnabled);
    updateApplyEnabled();
}

void frmMergeChats::setTabOrder()
{
    // The designed tab indices, lowest first; the header labels take no focus.
    QWidget *const order[] = {
        lstMergedChatNames, // 0
        lstChatNames,       // 1
        txtChatFilter,
        cmdAddToMerge,      // 3
        cmdRemoveFromMerge, // 5
        cmdApply,           // 6
        cmdCancel,          // 7
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMergeChats::updateApplyEnabled()
{
    cmdApply->setEnabled(lstMergedChatNames->count() > 0);
}

void frmMergeChats::Form_Load()
{
    lstChatNames->clear();
    lstChatNames->addItems(chatNames_);
}

void frmMergeChats::addToMerge(const QStringList &names)
{
    // Names added earlier in this same click take part, so a name is never in the list twice. Chat
    // names that differ only in case are different chats. The list's names are kept as a set beside
    // it, and the new rows go in at once: adding thousands of chats costs a lookup and a row each.
    QStringList fresh;
    for (const QString &name : names) {
        if (!mergedNames_.contains(name)) {
            mergedNames_.insert(name);
            fresh.append(name);
        }
    }
    lstMergedChatNames->addItems(fresh);
}

void frmMergeChats::removeFromMerge(int row)
{
    QListWidgetItem *item = lstMergedChatNames->takeItem(row);
    mergedNames_.remove(item->text());
    delete item;
}

void frmMergeChats::cmdAddToMerge_Click()
{
    QStringList names;
    const int count = lstChatNames->count();
    for (int i = 0; i < count; ++i) {
        const QListWidgetItem *item = lstChatNames->item(i);
        if (item->isSelected())
            names.append(item->text());
    }
    addToMerge(names);
}

void frmMergeChats::lstChatNames_DblClick(QListWidgetItem *item)
{
    addToMerge({item->text()});
}

void frmMergeChats::lstMergedChatNames_DblClick(QListWidgetItem *item)
{
    removeFromMerge(lstMergedChatNames->row(item));
}

void frmMergeChats::cmdRemoveFromMerge_Click()
{
    // From the bottom up, so that removing an item does not shift those still to be looked at.
    for (int i = lstMergedChatNames->count() - 1; i >= 0; --i) {
        if (lstMergedChatNames->item(i)->isSelected())
            removeFromMerge(i);
    }
}

void frmMergeChats::cmdApply_Click()
{
    QStringList names;
    names.reserve(lstMergedChatNames->count());
    for (int i = 0; i < lstMergedChatNames->count(); ++i)
        names.append(lstMergedChatNames->item(i)->text());
    if (!mergedChats_.store(names))
        return; // nothing to merge: stay open
    accept();
}

void frmMergeChats::cmdCancel_Click()
{
    reject();
}

void frmMergeChats::keyPressEvent(QKeyEvent *event)
{
    // Esc is the Cancel button's key; the close box ends up in reject() as Cancel does.
    if (event->matches(QKeySequence::Cancel)) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
