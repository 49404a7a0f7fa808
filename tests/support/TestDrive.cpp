#include "tests/support/TestDrive.h"

#include <fstream>

#include "app/DriveListBox.h"

namespace voidbroom::test {

TestDrive::TestDrive(const std::vector<std::string>& items) : tree_({"drive/"}) {
    mountPoint_ = tree_.path("drive");
    std::string why;
    mounted_ = mountTmpfs(mountPoint_, why);
    if (!mounted_) {
        mountTable_ = tree_.path("mountinfo");
        std::ofstream(mountTable_) << "999999 1 0:99 / " << mountPoint_ << " rw - ext4 /dev/test rw\n";
    }
    for (const auto& item : items) add(item);
}

TestDrive::~TestDrive() {
    if (mounted_) unmount(mountPoint_);
}

void TestDrive::add(const std::string& item) { tree_.add("drive/" + item); }

Form1::FsoFactory TestDrive::fsoFactory() const {
    if (mounted_) return Form1::defaultFso();
    const std::string table = mountTable_;
    return [table] { return std::make_unique<FileSystemObject>(FileSystemOptions{table, false}); };
}

bool TestDrive::choose(Form1& form) const {
    const std::string prefix = mountPoint_ + " [";
    for (int i = 0; i < form.Drive1->count(); ++i) {
        if (form.Drive1->itemText(i).toStdString().rfind(prefix, 0) == 0) {
            form.Drive1->setCurrentIndex(i);
            return form.Drive1->Drive() == mountPoint_;
        }
    }
    return false;
}

}  // namespace voidbroom::test
