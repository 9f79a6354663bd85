#pragma once
// The About box of the right-click menu: the version, the libraries with their versions and
// the licence (its whole text behind "Show Details...").

class QWidget;

namespace vsr {

// Modal; returns when it is closed.
void ShowAboutBox(QWidget* parent);

} // namespace vsr
