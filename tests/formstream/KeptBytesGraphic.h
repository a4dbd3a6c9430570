// A graphic for tests whose data is a 4-byte length and that many bytes, which it keeps.
// Live counts how many exist, so tests can see that replaced graphics are destroyed.
// Tests derive classes of their own from it to give it the class name they need.
#pragma once

#include <string>

#include "formstream/Graphic.h"
#include "rtl/Stream.h"

class TKeptBytes : public formstream::TGraphic {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    TKeptBytes() { ++Live; }
    ~TKeptBytes() override { --Live; }

    static inline int Live = 0;
    std::string Bytes;

    bool GetEmpty() const override { return Bytes.empty(); }
    std::int32_t GetWidth() const override { return static_cast<std::int32_t>(Bytes.size()); }
    std::int32_t GetHeight() const override { return 1; }
    void ReadData(rtl::TStream& s) override {
        const std::uint32_t n = s.ReadDWord();
        std::string b(n, '\0');
        s.ReadBuffer(b.data(), n);
        Bytes = b;
    }
    void WriteData(rtl::TStream& s) override {
        s.WriteDWord(static_cast<std::uint32_t>(Bytes.size()));
        s.WriteBuffer(Bytes.data(), Bytes.size());
    }
    void Assign(formstream::TPersistent* source) override {
        if (auto* g = formstream::DynCast<TKeptBytes>(source))
            Bytes = g->Bytes;
        else
            TGraphic::Assign(source);
    }
};
