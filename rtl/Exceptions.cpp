#include "rtl/Exceptions.h"

namespace rtl {

void RaiseFormatError(std::string_view fmt) {
    throw EConvertError(Format(LoadResString(SInvalidFormat), fmt));
}

} // namespace rtl
