#pragma once

#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

#include "fs/Drives.h"

namespace voidbroom {

// The drive list: the machine's mounted file systems, each shown as its mount point with
// its label or device. It reads them again whenever it drops down, so drives mounted since
// the start appear; the chosen drive stays chosen while it is there.
class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    using Source = std::function<std::vector<DriveInfo>()>;
    explicit DriveListBox(QWidget* parent = nullptr);

    // Fills the list from `source` and chooses the drive that holds `currentFolder`.
    void fill(Source source, const std::string& currentFolder);
    // The chosen drive's mount point, empty when there is none.
    std::string Drive() const;

protected:
    void showPopup() override;

private:
    void reload();

    Source source_;
    std::vector<DriveInfo> drives_;
};

}  // namespace voidbroom
