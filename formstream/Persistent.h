// TPersistent: the base of everything a form stream can describe. It can be assigned
// from another object (Assign / AssignTo) and can declare values of its own that are no
// published property (DefineProperties, through the filer that reads or writes it).
#pragma once

#include <string_view>

#include "formstream/Object.h"

namespace rtl {
class TStream;
}

namespace formstream {

class TReader;
class TWriter;
class TPersistent;

// Handlers of defined properties: they read or write the property's value.
using TReaderProc = TEvent<TReader&>;
using TWriterProc = TEvent<TWriter&>;
using TStreamProc = TEvent<rtl::TStream&>;

// What DefineProperties sees of the reader or the writer.
class TFiler {
public:
    virtual ~TFiler() = default;
    // A plain defined property, read and written as one value with the filer's typed
    // operations. `hasData` tells a writer whether to write it; a reader ignores it and
    // the write handler.
    virtual void DeclareProperty(std::string_view name, TReaderProc readData, TWriterProc writeData,
                                 bool hasData) = 0;
    // A binary defined property: its value is a block of bytes handed to the handlers as
    // a stream.
    virtual void DeclareBinaryProperty(std::string_view name, TStreamProc readData,
                                       TStreamProc writeData, bool hasData) = 0;
    // While writing: the object of the ancestor that corresponds to the one being written
    // (none for a form written without an ancestor). Always none while reading.
    TPersistent* Ancestor() const { return FAncestor; }
    // The component at the top of what is read or written, and the one under which
    // component names are looked up (they differ while an inherited form is filed).
    TComponent* Root() const { return FRoot; }
    TComponent* LookupRoot() const { return FLookupRoot; }

protected:
    TPersistent* FAncestor = nullptr;
    TComponent* FRoot = nullptr;
    TComponent* FLookupRoot = nullptr;
};

class TPersistent : public TObject {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    // Copies `source` into this object. The default asks the source to assign itself to
    // this object (AssignTo); a null source, or one that cannot, raises EConvertError
    // "Cannot assign a %s to a %s".
    virtual void Assign(TPersistent* source);

    // The filer calls this to find the defined properties of the object.
    virtual void DefineProperties(TFiler& filer);

protected:
    // Copies this object into `dest`; the default raises EConvertError.
    virtual void AssignTo(TPersistent* dest);
    // Raises EConvertError "Cannot assign a <source> to a <this class>".
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

// A TPersistent that answers interface queries. Interfaces play no part in this program,
// so it adds nothing but its place in the class tree.
class TInterfacedPersistent : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
};

} // namespace formstream
