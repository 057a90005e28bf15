// "NVM Address": asks for the NVM address of one listed file.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <string>

#include "shell/control_ids.h"

namespace cindral {

class CNVMAddressDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = ids::nvm_address::kTemplate;

    explicit CNVMAddressDlg(QWidget* parent = nullptr);

    // The text as typed, taken when OK is pressed.
    std::u16string address_ = u"0x0000";

    QLineEdit& Edit() { return *edit_; }
    void accept() override;

  private:
    QLineEdit* edit_;
};

}  // namespace cindral
