#pragma once
// TSearchPanel: the player's search field and the list under it of what it found. The list,
// or a note in its place (the index's state, an error, no matches), lies over the picture
// above the field, so it is a child of another widget than the panel. The keys stay in the
// field: Down and Up move through the list, Enter chooses, Escape asks to close; a click on an
// entry chooses it too. The panel knows nothing of indexes: the window fills it.

#include <QFrame>
#include <QPointer>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;

namespace vsr {

class TSearchPanel : public QFrame {
    Q_OBJECT

public:
    // The list and the note are children of overlay, over which they are placed.
    TSearchPanel(QWidget* parent, QWidget* overlay);
    ~TSearchPanel() override;

    QString Query() const;
    // Shows the panel with the field focused and its text selected.
    void Open();
    // Hides the panel, its list and its note.
    void Close();
    // The entries to choose from, the first one current; none hides the list.
    void SetEntries(const QStringList& entries);
    // A line in the list's place; empty hides it.
    void SetNote(const QString& text);
    // Where the list and the note go: above the field. Called again when the panel moves.
    void PlaceList();

signals:
    void QueryChanged(const QString& query);
    void Chosen(int entry);
    void CloseAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FieldKey(int key);
    void ShowList(bool shown);

    QLineEdit* FField = nullptr;
    // Owned by the overlay, which may go first.
    QPointer<QListWidget> FList;
    QPointer<QLabel> FNote;
};

} // namespace vsr
