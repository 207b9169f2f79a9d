// The owner of every object that OpenSSL or libcurl hands out: a std::unique_ptr whose
// deleter is the library's own free function, one alias per kind (as src/common/handles.h
// does for Windows handles).
#pragma once

#include <memory>

template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T* object) const {
        Free(object);
    }
};

template <typename T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;
