#include "player/SearchPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>

namespace vsr {

namespace {

constexpr int cMaxRows = 8;

} // namespace

TSearchPanel::TSearchPanel(QWidget* parent, QWidget* overlay) : QFrame(parent) {
    setObjectName("SearchPanel");
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    auto* caption = new QLabel("Find:", this);
    caption->setObjectName("SearchCaption");
    FField = new QLineEdit(this);
    FField->setObjectName("SearchField");
    FField->setPlaceholderText("Text on the screen");
    FField->setClearButtonEnabled(true);
    // The window keeps the keys for itself; typing needs them here.
    FField->setFocusPolicy(Qt::StrongFocus);
    FField->installEventFilter(this);
    layout->addWidget(caption);
    layout->addWidget(FField, 1);

    FList = new QListWidget(overlay);
    FList->setObjectName("SearchList");
    FList->setFocusPolicy(Qt::NoFocus); // the field keeps the focus while the list moves
    FList->setUniformItemSizes(true);
    FList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FList->hide();
    FNote = new QLabel(overlay);
    FNote->setObjectName("SearchNote");
    FNote->setWordWrap(true);
    FNote->setFrameShape(QFrame::StyledPanel);
    FNote->setAutoFillBackground(true);
    FNote->setMargin(4);
    FNote->hide();
    hide();

    connect(FField, &QLineEdit::textChanged, this, &TSearchPanel::QueryChanged);
    connect(FList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int entry = FList->row(item);
        ShowList(false);
        emit Chosen(entry);
    });
}

TSearchPanel::~TSearchPanel() {
    delete FList.data();
    delete FNote.data();
}

QString TSearchPanel::Query() const {
    return FField->text();
}

void TSearchPanel::Open() {
    show();
    raise();
    FField->setFocus();
    FField->selectAll();
    PlaceList();
}

void TSearchPanel::Close() {
    hide();
    ShowList(false);
    if (FNote)
        FNote->hide();
}

void TSearchPanel::SetEntries(const QStringList& entries) {
    FNote->hide();
    FList->clear();
    FList->addItems(entries);
    if (!entries.isEmpty())
        FList->setCurrentRow(0);
    ShowList(!entries.isEmpty());
}

void TSearchPanel::SetNote(const QString& text) {
    FList->clear();
    ShowList(false);
    FNote->setText(text);
    FNote->setVisible(!isHidden() && !text.isEmpty());
    PlaceList();
}

void TSearchPanel::ShowList(bool shown) {
    if (!FList)
        return;
    FList->setVisible(shown && !isHidden() && FList->count() > 0);
    PlaceList();
}

void TSearchPanel::PlaceList() {
    if (!FList || !FNote)
        return;
    QWidget* overlay = FList->parentWidget();
    const QPoint field = FField->mapTo(overlay, QPoint(0, 0));
    const int bottom = mapTo(overlay, QPoint(0, 0)).y();
    const int width = FField->width();
    if (FList->isVisibleTo(overlay)) {
        const int rows = std::min(FList->count(), cMaxRows);
        const int height = rows * FList->sizeHintForRow(0) + 2 * FList->frameWidth();
        FList->setGeometry(field.x(), bottom - height, width, height);
        FList->raise();
    }
    if (FNote->isVisibleTo(overlay)) {
        const int wrapped = FNote->heightForWidth(width);
        const int height = wrapped > 0 ? wrapped : FNote->sizeHint().height();
        FNote->setGeometry(field.x(), bottom - height, width, height);
        FNote->raise();
    }
}

bool TSearchPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FField && event->type() == QEvent::KeyPress &&
        FieldKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QFrame::eventFilter(watched, event);
}

// Every key handled here is also kept from the window, where Up and Down change the volume.
bool TSearchPanel::FieldKey(int key) {
    const int count = FList->count();
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        if (count == 0)
            return true;
        if (FList->isHidden()) { // hidden after a choice: the same entry comes back
            ShowList(true);
            return true;
        }
        const int step = key == Qt::Key_Down       ? 1
                         : key == Qt::Key_Up       ? -1
                         : key == Qt::Key_PageDown ? cMaxRows - 1
                                                   : 1 - cMaxRows;
        FList->setCurrentRow(std::clamp(FList->currentRow() + step, 0, count - 1));
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const int entry = FList->currentRow();
        if (FList->isHidden() || entry < 0)
            return true;
        ShowList(false);
        emit Chosen(entry);
        return true;
    }
    case Qt::Key_Escape:
        emit CloseAsked();
        return true;
    default:
        return false;
    }
}

void TSearchPanel::moveEvent(QMoveEvent* event) {
    QFrame::moveEvent(event);
    PlaceList();
}

void TSearchPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlaceList();
}

} // namespace vsr
