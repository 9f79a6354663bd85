#include "player/GoToTimeBox.h"

#include "player/SRPlaybackDlg.h"
#include "shell/PlayTimeText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vsr {

TGoToTimeBox::TGoToTimeBox(QWidget* parent, std::uint32_t lengthMs)
    : QDialog(parent), FLengthMs(lengthMs) {
    setObjectName("GoToTimeBox");
    setWindowTitle("Go to Time");
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(QString::fromStdString("Time (h:mm:ss, mm:ss or seconds), up to " +
                                                     FormatTime(lengthMs / 1000, ":") + ":"),
                              this);
    layout->addWidget(prompt);
    FEdit = new QLineEdit(this);
    FEdit->setObjectName("TimeEdit");
    layout->addWidget(FEdit);
    FError = new QLabel(this);
    FError->setObjectName("ErrorLabel");
    FError->setStyleSheet("color: #c00000;");
    FError->setWordWrap(true);
    FError->hide();
    layout->addWidget(FError);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TGoToTimeBox::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TGoToTimeBox::reject);
    layout->addWidget(buttons);
}

void TGoToTimeBox::accept() {
    const TPlayTimeText time = ParsePlayTime(FEdit->text().toStdString());
    std::string error = time.Error;
    if (time.Ms && *time.Ms > FLengthMs)
        error = "The recording is " + FormatTime(FLengthMs / 1000, ":") + " long.";
    if (!error.empty()) {
        FError->setText(QString::fromStdString(error));
        FError->show();
        adjustSize(); // room for the reason's lines
        FEdit->selectAll();
        FEdit->setFocus();
        return;
    }
    QDialog::accept();
    emit TimeChosen(*time.Ms);
}

} // namespace vsr
