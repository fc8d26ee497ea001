#pragma once

#include <QListWidget>

// A list of chats whose click is that of the original program's list box: a mouse click on a row,
// whether or not the row was selected already, and a move of the selected row by the keyboard. Giving
// the list the focus, which makes a row current without selecting it, is no click; nor is a selection
// made from code.
class ChatListBox : public QListWidget {
    Q_OBJECT
public:
    // Every row is one line of text in the list's font: the list takes the first row's size for all,
    // instead of measuring each of what may be a million rows.
    explicit ChatListBox(QWidget *parent = nullptr);

    // Changes made from code, which are no clicks: every row replaced by names; row selected and scrolled
    // into sight; the last row showing dropped (none when it is null) taken away and added put at the
    // end, so that the rows above, the selection and the scroll position stay.
    void setRows(const QStringList &names);
    void chooseRow(int row);
    void changeLastRows(const QString &dropped, const QStringList &added);

signals:
    void rowClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int selectedRow() const;

    bool pressedOnRow_ = false;
};
