#include "player/AboutBox.h"

#include "player/PlayerHelp.h"
#include "player/PlayerIcon.h"

#include <QMessageBox>

namespace vsr {

void ShowAboutBox(QWidget* parent) {
    QMessageBox box(parent);
    box.setObjectName("AboutBox");
    box.setWindowTitle("About VSR Player");
    box.setIconPixmap(PlayerIcon().pixmap(64, 64));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString("VSR Player " + std::string(ProgramVersion())));
    box.setInformativeText(QString::fromStdString(
        "A player for VSR screen recordings.\n\n" + std::string(CopyrightLine()) + "\nLicence: " +
        std::string(LicenceName()) + "\n\nLibraries: " + LibraryList(PlayerLibraryVersions())));
    box.setDetailedText(
        QString::fromStdString(std::string(CopyrightLine()) + "\n\n" + std::string(LicenceText())));
    box.setStandardButtons(QMessageBox::Close);
    box.exec();
}

} // namespace vsr
