#include "formstream/Persistent.h"

#include "rtl/Exceptions.h"

namespace formstream {

constinit const TClassInfo TPersistent::ClassInfo =
    ClassInfoOf<TPersistent, TObject>("TPersistent");
constinit const TClassInfo TInterfacedPersistent::ClassInfo =
    ClassInfoOf<TInterfacedPersistent, TPersistent>("TInterfacedPersistent");

void TPersistent::Assign(TPersistent* source) {
    if (source)
        source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) {
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
    const std::string sourceName = source ? std::string(source->ClassName()) : "nil";
    throw rtl::EConvertError(rtl::SAssignError, sourceName, ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

} // namespace formstream
