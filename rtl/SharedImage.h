// TSharedImage: a reference-counted record. Each holder calls Reference(); the last
// Release() runs the FreeHandle hook and destroys the record.
#pragma once

namespace rtl {

class TSharedImage {
public:
    TSharedImage() = default;
    TSharedImage(const TSharedImage&) = delete;
    TSharedImage& operator=(const TSharedImage&) = delete;

    void Reference() { ++FRefCount; }
    // Drops one reference; with the last one the record frees its contents and itself.
    // Accepts null, so holders may release unconditionally.
    static void Release(TSharedImage* image) {
        if (image && --image->FRefCount <= 0) {
            image->FreeHandle();
            delete image;
        }
    }
    int RefCount() const { return FRefCount; }

protected:
    virtual ~TSharedImage() = default;
    virtual void FreeHandle() = 0;

private:
    int FRefCount = 0;
};

} // namespace rtl
