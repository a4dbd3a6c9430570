// TWriter: writes components as form streams. (Being built: the full writer follows.)
#pragma once

#include <cstdint>

#include "formstream/Persistent.h"

namespace rtl {
class TStream;
}

namespace formstream {

class TComponent;

class TWriter : public TFiler {
public:
    explicit TWriter(rtl::TStream& stream);
    void DeclareProperty(std::string_view name, TReaderProc readData, TWriterProc writeData,
                         bool hasData) override;
    void DeclareBinaryProperty(std::string_view name, TStreamProc readData, TStreamProc writeData,
                               bool hasData) override;

    void WriteComponentData(TComponent* instance);
    void WriteInteger(std::int64_t value);

private:
    rtl::TStream& FStream;
};

} // namespace formstream
