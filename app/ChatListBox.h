#pragma once

#include <QListWidget>
#include <QTimer>

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
    // Replaces every row with names as setRows does, a slice of rows per turn of the event loop, so that
    // a list of a million rows never holds the window up; rowsFilled() follows once the last row is in,
    // at once for a list of up to one slice. Meanwhile the list takes no clicks or keys, rowsAdded()
    // tells of each slice, and a new fill replaces the one under way.
    void fillRows(QStringList names);
    bool isFilling() const { return filling_; }
    void chooseRow(int row);
    void changeLastRows(const QString &dropped, const QStringList &added);

signals:
    void rowClicked();
    void rowsAdded(int first, int last);
    void rowsFilled();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int selectedRow() const;
    void fillSlice();

    bool pressedOnRow_ = false;
    bool filling_ = false;
    bool sliced_ = false; // whether the fill under way has taken more than one turn
    QStringList pending_; // the rows of the fill under way
    qsizetype added_ = 0; // how many of them are in the list, at its end
    QTimer nextSlice_;
};
