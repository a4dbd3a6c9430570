// The members of TComponent that talk to readers and writers: its stored state and the
// design position it keeps as defined properties. They live apart from the component
// because the reader and the writer build on the component class.
#include "formstream/Component.h"
#include "formstream/Reader.h"
#include "formstream/Writer.h"

namespace formstream {

void TComponent::ReadStoredState(TReader& reader) {
    reader.ReadComponentData(this);
}

void TComponent::WriteStoredState(TWriter& writer) {
    writer.WriteComponentData(this);
}

void TComponent::DefineProperties(TFiler& filer) {
    const auto* ancestor = DynCast<TComponent>(filer.Ancestor());
    const std::int16_t left = ancestor ? ancestor->FDesignLeft : 0;
    const std::int16_t top = ancestor ? ancestor->FDesignTop : 0;
    filer.DeclareProperty("Left", TReaderProc::Of<&TComponent::ReadDesignLeft>(this),
                          TWriterProc::Of<&TComponent::WriteDesignLeft>(this), FDesignLeft != left);
    filer.DeclareProperty("Top", TReaderProc::Of<&TComponent::ReadDesignTop>(this),
                          TWriterProc::Of<&TComponent::WriteDesignTop>(this), FDesignTop != top);
}

void TComponent::ReadDesignLeft(TReader& reader) {
    FDesignLeft = static_cast<std::int16_t>(reader.ReadIntegerValue());
}
void TComponent::ReadDesignTop(TReader& reader) {
    FDesignTop = static_cast<std::int16_t>(reader.ReadIntegerValue());
}
void TComponent::WriteDesignLeft(TWriter& writer) {
    writer.WriteInteger(FDesignLeft);
}
void TComponent::WriteDesignTop(TWriter& writer) {
    writer.WriteInteger(FDesignTop);
}

} // namespace formstream
