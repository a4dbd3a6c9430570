#include "ui/Dialogs.h"

namespace ui {

using namespace formstream;

constinit const TPropInfo TSaveDialog::Published[] = {
    Prop<&TSaveDialog::DefaultExt, &TSaveDialog::DefaultExt>("DefaultExt"),
    Prop<&TSaveDialog::FileName, &TSaveDialog::FileName>("FileName"),
    Prop<&TSaveDialog::Filter, &TSaveDialog::Filter>("Filter"),
    Prop<&TSaveDialog::FilterIndex, &TSaveDialog::FilterIndex>("FilterIndex", Default(1)),
    Prop<&TSaveDialog::InitialDir, &TSaveDialog::InitialDir>("InitialDir"),
    Prop<&TSaveDialog::Options, &TSaveDialog::Options>("Options"),
    Prop<&TSaveDialog::Title, &TSaveDialog::Title>("Title"),
};
constinit const TClassInfo TSaveDialog::ClassInfo =
    ClassInfoOf<TSaveDialog, TComponent>("TSaveDialog", TSaveDialog::Published);

TSaveDialog::TSaveDialog(TComponent* owner) : TComponent(owner) {}

} // namespace ui
