#include "app/widgets/DriveListBox.h"

namespace voidbroom {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {}

void DriveListBox::fill(Source source, const std::string& currentFolder) {
    source_ = std::move(source);
    reload();
    if (const auto index = driveHolding(drives_, currentFolder))
        setCurrentIndex(static_cast<int>(*index));
}

std::string DriveListBox::Drive() const {
    const int index = currentIndex();
    return index >= 0 && index < static_cast<int>(drives_.size()) ? drives_[index].mountPoint
                                                                  : std::string();
}

void DriveListBox::showPopup() {
    const std::string chosen = Drive();
    reload();
    for (std::size_t i = 0; i < drives_.size(); ++i)
        if (drives_[i].mountPoint == chosen) setCurrentIndex(static_cast<int>(i));
    QComboBox::showPopup();
}

void DriveListBox::reload() {
    try {
        drives_ = source_ ? source_() : std::vector<DriveInfo>{};
    } catch (const std::exception&) {
        return;  // keep the drives shown so far
    }
    clear();
    for (const auto& drive : drives_) addItem(QString::fromStdString(drive.caption()));
}

}  // namespace voidbroom
