// Puts a variable back to the value it had when the guard was made, when the scope ends,
// also by an exception.
#pragma once

namespace rtl {

template <class T> class TRestore {
public:
    explicit TRestore(T& var) : FVar(var), FSaved(var) {}
    ~TRestore() { FVar = FSaved; }
    TRestore(const TRestore&) = delete;
    TRestore& operator=(const TRestore&) = delete;

private:
    T& FVar;
    T FSaved;
};

} // namespace rtl
