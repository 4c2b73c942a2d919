#include "ui/child_form.h"

#include "ui/artwork.h"
#include "ui/theme.h"

namespace kelvora::ui {

ChildForm::ChildForm(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    setFont(controlFont());
    setWindowIcon(applicationIcon());
}

}  // namespace kelvora::ui
