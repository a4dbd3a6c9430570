// Test helper: the message of the exception of type E that `f` raises, or "no exception".
#pragma once

#include <string>

template <class E, class F> std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "no exception";
}
