#include "formstream/Reader.h"

#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace formstream {

TReader::TReader(rtl::TStream& stream, int) : FStream(stream) {}

void TReader::DeclareProperty(std::string_view, TReaderProc, TWriterProc, bool) {}
void TReader::DeclareBinaryProperty(std::string_view, TStreamProc, TStreamProc, bool) {}

void TReader::ReadComponentData(TComponent*) {
    throw rtl::EAbstractError();
}

std::int32_t TReader::ReadIntegerValue() {
    switch (FStream.ReadByte()) {
    case 2:
        return static_cast<std::int8_t>(FStream.ReadByte());
    case 3:
        return static_cast<std::int16_t>(FStream.ReadWord());
    case 4:
        return static_cast<std::int32_t>(FStream.ReadDWord());
    default:
        throw rtl::EReadError(rtl::SInvalidPropertyValue);
    }
}

} // namespace formstream
