#pragma once

#include <QLineEdit>

class QListWidget;

// A box that narrows a list of chats to the rows whose name holds its text, ignoring case. Rows are
// hidden, never removed: the list's items, their order and what a click on a row selects stay. Escape
// empties a box that holds text; in an empty one it goes on to the window (a dialog's Cancel).
class ChatFilterBox : public QLineEdit {
    Q_OBJECT
public:
    // Filters list, as "txtChatFilter". With deselectHidden, a selected row that the filter hides is
    // deselected, so that whatever is selected is in sight.
    ChatFilterBox(QListWidget *list, QWidget *parent, bool deselectHidden = false);

    // Filters the rows first to last (inclusive), which came or changed since the text was applied.
    void filterRows(int first, int last);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void filterAll();

    QListWidget *list_;
    bool deselectHidden_;
    bool anyHidden_ = false; // whether a row may be hidden, so that an empty text costs nothing
};
