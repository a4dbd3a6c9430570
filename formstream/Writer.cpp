#include "formstream/Writer.h"

#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace formstream {

TWriter::TWriter(rtl::TStream& stream) : FStream(stream) {}

void TWriter::DeclareProperty(std::string_view, TReaderProc, TWriterProc, bool) {}
void TWriter::DeclareBinaryProperty(std::string_view, TStreamProc, TStreamProc, bool) {}

void TWriter::WriteComponentData(TComponent*) {
    throw rtl::EAbstractError();
}

void TWriter::WriteInteger(std::int64_t value) {
    if (value >= -128 && value <= 127) {
        FStream.WriteByte(2);
        FStream.WriteByte(static_cast<std::uint8_t>(value));
    } else if (value >= -32768 && value <= 32767) {
        FStream.WriteByte(3);
        FStream.WriteWord(static_cast<std::uint16_t>(value));
    } else {
        FStream.WriteByte(4);
        FStream.WriteDWord(static_cast<std::uint32_t>(value));
    }
}

} // namespace formstream
