#pragma once
// The "Go to time" box: a line for a time as h:mm:ss, mm:ss or seconds; a text that is no
// time, or a time past the recording, is refused in the box with the reason, which stays open.

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;

namespace vsr {

class TGoToTimeBox : public QDialog {
    Q_OBJECT

public:
    TGoToTimeBox(QWidget* parent, std::uint32_t lengthMs);

    void accept() override;

signals:
    void TimeChosen(std::uint32_t ms);

private:
    std::uint32_t FLengthMs;
    QLineEdit* FEdit = nullptr;
    QLabel* FError = nullptr;
};

} // namespace vsr
