// TReader: reads form streams into components. (Being built: the full reader follows.)
#pragma once

#include <cstdint>

#include "formstream/Persistent.h"

namespace rtl {
class TStream;
}

namespace formstream {

class TComponent;

class TReader : public TFiler {
public:
    TReader(rtl::TStream& stream, int bufSize);
    void DeclareProperty(std::string_view name, TReaderProc readData, TWriterProc writeData,
                         bool hasData) override;
    void DeclareBinaryProperty(std::string_view name, TStreamProc readData, TStreamProc writeData,
                               bool hasData) override;

    void ReadComponentData(TComponent* instance);
    std::int32_t ReadIntegerValue();

private:
    rtl::TStream& FStream;
};

} // namespace formstream
