#include "tests/support/TestDrive.h"

#include <QComboBox>
#include <QPushButton>
#include <algorithm>

#include "app/StandInDrive.h"
#include "app/widgets/DriveListBox.h"
#include "app/widgets/ResultListView.h"

namespace voidbroom::test {

TestDrive::TestDrive(const std::vector<std::string>& items) : tree_({"drive/"}) {
    mountPoint_ = tree_.path("drive");
    std::string why;
    mounted_ = mountTmpfs(mountPoint_, why);
    if (!mounted_) {
        mountTable_ = tree_.path("mountinfo");
        writeStandInMountTable(mountTable_, mountPoint_, "/dev/test", /*withSystemDrives=*/false);
    }
    for (const auto& item : items) add(item);
}

TestDrive::~TestDrive() {
    if (mounted_) unmount(mountPoint_);
}

Form1::FsoFactory TestDrive::fsoFactory() const {
    if (mounted_) return Form1::defaultFso();
    return standInFso(mountTable_);
}

bool TestDrive::choose(Form1& form) const {
    const QString prefix = QString::fromStdString(mountPoint_ + " [");
    for (int i = 0; i < form.Drive1->count(); ++i) {
        if (!form.Drive1->itemText(i).startsWith(prefix)) continue;
        form.Drive1->setCurrentIndex(i);
        return form.Drive1->Drive() == mountPoint_;
    }
    return false;
}

void WindowTest::SetUp() {
    form = std::make_unique<Form1>(drive.fsoFactory());
    ASSERT_TRUE(form->loaded());
    form->show();
    ASSERT_TRUE(drive.choose(*form));
}

void WindowTest::scan(int mode) {
    form->Combo1->setCurrentIndex(mode);
    form->cmdScan->click();
}

std::vector<std::string> WindowTest::entries() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i) out.push_back(form->List1->List(i));
    return out;
}

long WindowTest::indexOf(const std::string& entry) const {
    const auto all = entries();
    const auto at = std::find(all.begin(), all.end(), entry);
    return at == all.end() ? -1 : at - all.begin();
}

std::string WindowTest::buttons(bool (QWidget::*property)() const) const {
    return states({form->cmdScan, form->cmdStop, form->cmdSelAll, form->cmdDel, form->cmdSelEmpty,
                   form->cmdSaveLog, form->cmdExit},
                  property);
}

std::string states(std::initializer_list<const QWidget*> widgets,
                   bool (QWidget::*property)() const) {
    std::string out;
    for (const QWidget* widget : widgets) out += (widget->*property)() ? '1' : '0';
    return out;
}

}  // namespace voidbroom::test
